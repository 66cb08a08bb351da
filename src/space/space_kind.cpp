#include "space/space_kind.h"

#include "catalog/lib_records.h"
#include "files/file_utils.h"

#include <algorithm>
#include <array>

namespace {

struct TTypeGroup {
    std::string_view Type;
    TSpaceKind Kind;
};

// Sorted by type for a binary search.
constexpr auto kTypes = [] {
    using K = TSpaceKind;
    std::array<TTypeGroup, 108> t{{
        {"3gp", K::Video},     {"7z", K::Archive},    {"a", K::Program},     {"aac", K::Audio},
        {"aif", K::Audio},     {"aiff", K::Audio},    {"ape", K::Audio},     {"apk", K::Program},
        {"arj", K::Archive},   {"avi", K::Video},     {"bat", K::Program},   {"bin", K::Program},
        {"bmp", K::Image},     {"bz2", K::Archive},   {"c", K::Program},     {"cab", K::Archive},
        {"cda", K::Audio},     {"com", K::Program},   {"cpp", K::Program},   {"cr2", K::Image},
        {"csv", K::Document},  {"deb", K::Archive},   {"dll", K::Program},   {"dmg", K::Archive},
        {"doc", K::Document},  {"docx", K::Document}, {"epub", K::Document}, {"exe", K::Program},
        {"flac", K::Audio},    {"flv", K::Video},     {"gif", K::Image},     {"gz", K::Archive},
        {"h", K::Program},     {"heic", K::Image},    {"htm", K::Document},  {"html", K::Document},
        {"ico", K::Image},     {"img", K::Archive},   {"iso", K::Archive},   {"jar", K::Program},
        {"jpeg", K::Image},    {"jpg", K::Image},     {"js", K::Program},    {"json", K::Document},
        {"lzh", K::Archive},   {"m2ts", K::Video},    {"m4a", K::Audio},     {"m4v", K::Video},
        {"mbox", K::Document}, {"md", K::Document},   {"mid", K::Audio},     {"midi", K::Audio},
        {"mkv", K::Video},     {"mov", K::Video},     {"mp2", K::Audio},     {"mp3", K::Audio},
        {"mp4", K::Video},     {"mpc", K::Audio},     {"mpeg", K::Video},    {"mpg", K::Video},
        {"msi", K::Program},   {"nef", K::Image},     {"o", K::Program},     {"odp", K::Document},
        {"ods", K::Document},  {"odt", K::Document},  {"ofr", K::Audio},     {"ofs", K::Audio},
        {"oga", K::Audio},     {"ogg", K::Audio},     {"ogv", K::Video},     {"opus", K::Audio},
        {"pdf", K::Document},  {"png", K::Image},     {"ppt", K::Document},  {"pptx", K::Document},
        {"ps", K::Document},   {"psd", K::Image},     {"py", K::Program},    {"rar", K::Archive},
        {"rpm", K::Archive},   {"rtf", K::Document},  {"sh", K::Program},    {"so", K::Program},
        {"svg", K::Image},     {"tar", K::Archive},   {"tex", K::Document},  {"tgz", K::Archive},
        {"tif", K::Image},     {"tiff", K::Image},    {"ts", K::Video},      {"txt", K::Document},
        {"vob", K::Video},     {"vqf", K::Audio},     {"wav", K::Audio},     {"webm", K::Video},
        {"webp", K::Image},    {"wma", K::Audio},     {"wmv", K::Video},     {"wv", K::Audio},
        {"xcf", K::Image},     {"xls", K::Document},  {"xlsx", K::Document}, {"xml", K::Document},
        {"xz", K::Archive},    {"zip", K::Archive},   {"zst", K::Archive},   {"zstd", K::Archive},
    }};
    return t;
}();
static_assert(std::is_sorted(kTypes.begin(), kTypes.end(),
                             [](const TTypeGroup& a, const TTypeGroup& b) {
                                 return a.Type < b.Type;
                             }));

} // namespace

TSpaceKind SpaceKindOfType(std::string_view type) {
    auto it = std::lower_bound(kTypes.begin(), kTypes.end(), type,
                               [](const TTypeGroup& g, std::string_view t) { return g.Type < t; });
    return it != kTypes.end() && it->Type == type ? it->Kind : TSpaceKind::Other;
}

TSpaceKind SpaceKindOf(const TLibFolderItem* entry) {
    if (entry->IsFolder) return IsArchiveEntry(entry) ? TSpaceKind::Archive : TSpaceKind::Folder;
    // The extension is short: look at it in place instead of building a string per entry.
    std::string_view c = entry->Caption.view();
    auto dot = c.rfind('.');
    if (dot == std::string_view::npos || c.size() - dot > 6) return TSpaceKind::Other;
    char lower[8] = {};
    size_t n = 0;
    for (char ch : c.substr(dot + 1)) {
        if (ch == '/') return TSpaceKind::Other; // a dot in an archive member's folder name
        lower[n++] = ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch;
    }
    return SpaceKindOfType(std::string_view(lower, n));
}
