#include "cli/cli_files.h"

#include "files/input_file.h"
#include "text/message_error.h"

void RefuseOutputOverInput(const std::string& output, std::initializer_list<std::string> inputs) {
    for (const std::string& in : inputs)
        if (SameExistingFile(output, in)) throw EMessageError("errSameFile", output);
}
