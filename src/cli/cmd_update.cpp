#include "cli/cli_context.h"

int CmdUpdate(TCliContext&) {
    throw EUsageError("this command is not available yet");
}
