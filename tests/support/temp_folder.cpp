#include "support/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

TTempFolder::TTempFolder() {
    std::string tmpl = (fs::temp_directory_path() / "tamblix-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("cannot make a temporary folder");
    path_ = tmpl;
}

TTempFolder::~TTempFolder() {
    std::error_code ec;
    // A folder a test made unreadable would stop remove_all.
    for (auto it = fs::recursive_directory_iterator(
             path_, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::string TTempFolder::File(std::string_view rel) const {
    return path_ + "/" + std::string(rel);
}

std::string TTempFolder::Write(std::string_view rel, std::string_view data) const {
    std::string p = File(rel);
    WriteFile(p, data);
    return p;
}

std::string TTempFolder::MakeFolder(std::string_view rel) const {
    std::string p = File(rel);
    fs::create_directories(p);
    return p;
}

std::string TTempFolder::Read(std::string_view rel) const {
    return ReadFile(File(rel));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool WriteFile(const std::string& path, std::string_view data) {
    std::error_code ec;
    fs::path parent = fs::path(path).parent_path();
    if (!parent.empty()) fs::create_directories(parent, ec);
    // Truncating and rewriting a file makes the filesystem flush it on close: replace it instead.
    fs::remove(path, ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();
    return static_cast<bool>(out);
}
