#include "cli/cli_context.h"

int CmdImport(TCliContext&) {
    throw EUsageError("this command is not available yet");
}
