#include "cli/cli_context.h"

int CmdExport(TCliContext&) {
    throw EUsageError("this command is not available yet");
}
