#include "cli/cli_files.h"

#include "analysis/input_file.h"
#include "settings/message_error.h"

void RefuseOutputOverInput(const std::string& output, std::initializer_list<std::string> inputs) {
    for (const std::string& in : inputs)
        if (SameExistingFile(output, in)) throw EMessageError("errSameFile", output);
}
