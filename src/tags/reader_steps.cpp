#include "tags/reader_steps.h"

bool RunReaderStep(const std::string&, const std::string&, TTagInfo&) {
    return false;
}
