#pragma once

#include <string>
#include <string_view>

// Standard input and output as the files a command reads and writes.

// Whether an output path is standard output itself: "-", or a name of the
// very file descriptor 1 refers to (/dev/stdout, /dev/fd/1). Such an output
// is written in place, never replaced by a new file.
bool IsStandardOutput(const std::string& path);

// All of standard input. Throws EMessageError("errRead") when it cannot be read.
std::string ReadStandardInput();

// Writes to standard output in large pieces. Errors are EMessageError
// ("errWrite") with the name the output was given.
class TStandardOutputWriter {
public:
    explicit TStandardOutputWriter(std::string name) : name_(std::move(name)) {}
    void Write(std::string_view s);
    // Writes what is still buffered.
    void Commit();

private:
    void Flush();
    std::string name_;
    std::string buf_;
};
