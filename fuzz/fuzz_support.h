#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TLibObj;
class TTagInfo;

// What every fuzz target shares: the readers take file names, so the input
// goes to a file first; and the cheap checks that turn a quiet fault into a
// finding the fuzzer keeps.

// One file per process in a private folder (on a memory file system when there
// is one), rewritten for every input.
class TFuzzFile {
public:
    // name: the file name inside the folder ("a.zip"); its extension may
    // choose the reader.
    explicit TFuzzFile(const std::string& name);
    ~TFuzzFile();
    TFuzzFile(const TFuzzFile&) = delete;
    TFuzzFile& operator=(const TFuzzFile&) = delete;

    // Replaces the file's contents; returns its path.
    const std::string& Write(const uint8_t* data, size_t size);
    const std::string& Path() const { return path_; }
    // The folder, with a trailing "/"; other files of the target may go there.
    const std::string& Folder() const { return folder_; }

private:
    std::string folder_;
    std::string path_;
};

// Prints what failed and aborts, so that the fuzzer keeps the input as a crash.
[[noreturn]] void FuzzFail(std::string_view what, std::string_view detail);

#define FUZZ_CHECK(cond, detail)                                                                   \
    do {                                                                                           \
        if (!(cond)) FuzzFail(#cond, detail);                                                      \
    } while (0)

// Tag lines as the readers leave them: each "name=value" ended by CR LF,
// with no other line break, a name, and valid UTF-8.
void CheckTagLines(const TTagInfo& info);
// Stream values that count something (durations, rates, sizes, frames) are never negative.
void CheckTagNumbers(const TTagInfo& info);
// Recounts the catalog and checks that no entry size and no total is negative.
void CheckCatalogTotals(TLibObj& lib);
