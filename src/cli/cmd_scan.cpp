#include "cli/cli_context.h"

int CmdScan(TCliContext&) {
    throw EUsageError("this command is not available yet");
}
