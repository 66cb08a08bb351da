#include "media/program_module.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

TProgramModule::TProgramModule(std::string fileName, std::string what)
    : fileName_(std::move(fileName)), what_(std::move(what)) {}

std::vector<std::string> TProgramModule::Folders() {
    if (const char* env = std::getenv("TAMBLIX_MODULE_DIR"); env && *env) return {env};
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    const fs::path dir = exe.parent_path();
    return {(dir / TAMBLIX_MODULE_INSTALL_RELDIR).lexically_normal().string(),
            (dir / TAMBLIX_MODULE_BUILD_RELDIR).lexically_normal().string()};
}

void TProgramModule::Load() {
    std::string path;
    for (const std::string& folder : Folders()) {
        std::string candidate = (fs::path(folder) / fileName_).string();
        if (::access(candidate.c_str(), F_OK) == 0) {
            path = std::move(candidate);
            break;
        }
    }
    if (path.empty()) {
        loadError_ = what_ + " is not installed (" + fileName_ + " not found)";
        return;
    }
    // RTLD_LOCAL: the module's libraries stay out of the program's symbol look-ups.
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = ::dlerror();
        loadError_ = what_ + " cannot be loaded: " + (why ? why : path);
    }
}

void TProgramModule::LoadOnce() {
    started_.store(true);
    std::call_once(loaded_, [this] {
        Load();
        ready_.store(true, std::memory_order_release);
    });
}

void TProgramModule::LoadAside() {
    if (started_.exchange(true)) return;
    std::thread([this] { LoadOnce(); }).detach();
}

void* TProgramModule::Function(const char* name, std::string& error) {
    LoadOnce();
    if (!handle_) {
        error = loadError_;
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(foundMutex_);
    for (const auto& [known, fn] : found_)
        if (known == name) return fn;
    void* fn = ::dlsym(handle_, name);
    if (!fn) {
        error = what_ + " does not fit this version of the program (no " + name + ")";
        return nullptr;
    }
    found_.emplace_back(name, fn);
    return fn;
}
