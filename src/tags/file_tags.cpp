#include "tags/file_tags.h"

bool TFileTags::ReadTags(const std::string& path) {
    const bool v2 = ID3v2.ReadFromFile(path);
    const bool v1 = ID3v1.ReadFromFile(path);
    const bool ape = APEtag.ReadFromFile(path);
    return v2 && v1 && ape;
}
