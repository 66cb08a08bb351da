#include "cli/cli_context.h"

int CmdHandlers(TCliContext&) {
    throw EUsageError("this command is not available yet");
}
