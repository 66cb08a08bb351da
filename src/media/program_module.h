#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// One of the program's own shared libraries, loaded the first time a function
// of it is wanted: readers whose libraries cost much at start live in one.
// Looked for in TAMBLIX_MODULE_DIR when that is set, else in the library
// folder beside the program's installed folder, then where the build puts it.
class TProgramModule {
public:
    // fileName as on disk ("tamblix_video.so"); what names it in errors
    // ("the video support").
    TProgramModule(std::string fileName, std::string what);
    TProgramModule(const TProgramModule&) = delete;
    TProgramModule& operator=(const TProgramModule&) = delete;

    // The exported function, or null when the module is missing, broken or of
    // another version, with error saying which. Safe from several threads.
    void* Function(const char* name, std::string& error);

    // Whether Function answers without loading: the module was loaded, or
    // found missing or broken. Never waits.
    bool Ready() const { return ready_.load(std::memory_order_acquire); }
    // Starts loading on a thread of its own, unless loading began already.
    // The object must never be destroyed (see Function's callers).
    void LoadAside();

    // The folders searched, in order, for this process.
    static std::vector<std::string> Folders();

private:
    void Load();
    void LoadOnce();

    std::string fileName_, what_;
    std::atomic<bool> started_{false}, ready_{false};
    std::once_flag loaded_;
    void* handle_ = nullptr;
    std::string loadError_;
    // Functions found so far: a lookup in the loader takes its global lock.
    std::mutex foundMutex_;
    std::vector<std::pair<std::string, void*>> found_;
};
