#include "cli/cli_context.h"

int CmdTags(TCliContext&) {
    throw EUsageError("this command is not available yet");
}
