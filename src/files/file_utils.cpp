#include "files/file_utils.h"

#include "text/string_list.h"
#include "text/text_utils.h"

#include <algorithm>

std::string AddBackslash(std::string_view path) {
    std::string out(path);
    if (!out.empty() && out.back() != '\\') out += '\\';
    return out;
}

std::string StripLeadingBackslash(std::string_view path) {
    if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
    return std::string(path);
}

std::string JoinPath(std::string_view a, std::string_view b, std::string_view c) {
    for (int i = 0; i < 2 && !c.empty() && c.front() == '\\'; ++i)
        c.remove_prefix(1);
    return AddBackslash(a) + AddBackslash(StripLeadingBackslash(b)) + std::string(c);
}

std::string ParentFolder(std::string_view path) {
    if (path.empty()) return {};
    path.remove_suffix(1);
    size_t p = path.rfind('\\');
    if (p == std::string_view::npos) return {};
    return std::string(path.substr(0, p + 1));
}

std::string LastFolderName(std::string_view path) {
    if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    size_t p = path.find_last_of("\\:");
    return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string DriveOf(std::string_view path) {
    size_t p = path.find(':');
    if (p == std::string_view::npos) return {};
    if (p + 1 == path.size()) return std::string(path) + '\\';
    // One character after the colon, whole if it is a UTF-8 sequence.
    size_t end = p + 2;
    while (end < path.size() && (static_cast<unsigned char>(path[end]) & 0xC0) == 0x80)
        ++end;
    return std::string(path.substr(0, end));
}

std::string StripArchivePath(std::string_view name) {
    size_t p = name.rfind('/');
    return std::string(p == std::string_view::npos ? name : name.substr(p + 1));
}

std::string ExtractFileExt(std::string_view fileName) {
    size_t p = fileName.find_last_of("./\\");
    if (p == std::string_view::npos || fileName[p] != '.') return {};
    return std::string(fileName.substr(p));
}

std::string UpperFileExt(std::string_view fileName) {
    return UpperCase(ExtractFileExt(fileName));
}

std::string NormalizeExtension(std::string_view text) {
    std::string t = TrimBlanks(text);
    if (t.empty()) return {};
    if (t.front() != '.') t.insert(t.begin(), '.');
    return UpperCase(t);
}

bool HasExtension(std::string_view fileName, const std::vector<std::string>& extensions) {
    std::string ext = ExtractFileExt(fileName);
    if (ext.empty()) return false;
    for (const auto& e : extensions)
        if (SameText(ext, e)) return true;
    return false;
}

std::string UpperDoubleFileExt(std::string_view fileName) {
    std::string_view rest = fileName.substr(0, fileName.size() - ExtractFileExt(fileName).size());
    std::string first = ExtractFileExt(rest);
    if (first.empty() || first.size() == rest.size() || rest.size() == fileName.size()) return {};
    return UpperCase(first + std::string(fileName.substr(rest.size())));
}

const std::vector<std::string>& ArchiveKindExtensions() {
    static const std::vector<std::string> exts = {
        ".7Z",  ".TAR",    ".TGZ",  ".TAR.GZ",  ".TBZ", ".TBZ2", ".TAR.BZ2",
        ".TXZ", ".TAR.XZ", ".TZST", ".TAR.ZST", ".ISO", ".CAB"};
    return exts;
}

bool IsArchiveFile(std::string_view fileName) {
    static const std::vector<std::string> kArchives = {".RAR", ".ZIP"};
    if (HasExtension(fileName, kArchives) || HasExtension(fileName, ArchiveKindExtensions()))
        return true;
    std::string doubleExt = UpperDoubleFileExt(fileName);
    const auto& kinds = ArchiveKindExtensions();
    return !doubleExt.empty() && std::find(kinds.begin(), kinds.end(), doubleExt) != kinds.end();
}

std::string AddPathSeparator(std::string_view path) {
    std::string out(path);
    if (!out.empty() && out.back() != kPathSeparator) out += kPathSeparator;
    return out;
}

std::string RemovePathSeparator(std::string_view path) {
    while (path.size() > 1 && path.back() == kPathSeparator)
        path.remove_suffix(1);
    return std::string(path);
}

std::string JoinNativePath(std::string_view folder, std::string_view name) {
    while (!name.empty() && name.front() == kPathSeparator)
        name.remove_prefix(1);
    if (folder.empty()) return std::string(name);
    return AddPathSeparator(folder) + std::string(name);
}

std::string NativeLastName(std::string_view path) {
    while (!path.empty() && path.back() == kPathSeparator)
        path.remove_suffix(1);
    size_t p = path.rfind(kPathSeparator);
    return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}
