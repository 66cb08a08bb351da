#include "cli/cli_context.h"

int CmdSearch(TCliContext&) {
    throw EUsageError("this command is not available yet");
}
