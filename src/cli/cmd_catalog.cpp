#include "cli/cli_context.h"
#include "settings/message_error.h"

int CmdNew(TCliContext&) {
    throw EUsageError("this command is not available yet");
}
int CmdInfo(TCliContext&) {
    throw EUsageError("this command is not available yet");
}
int CmdTree(TCliContext&) {
    throw EUsageError("this command is not available yet");
}
int CmdLs(TCliContext&) {
    throw EUsageError("this command is not available yet");
}

std::string ErrorText(const std::exception& e) {
    if (auto* m = dynamic_cast<const EMessageError*>(&e)) return m->what();
    return e.what();
}
