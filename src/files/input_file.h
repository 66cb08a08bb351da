#pragma once

#include <string>
#include <sys/stat.h>

// Files the program reads. Every input is opened without blocking (a FIFO
// with no writer would otherwise hang the open, deaf to Ctrl+C) and must be
// a regular file; anything else is refused with what it really is. Errors
// are EMessageError with the path: "errFNF" (missing), "errIsFolder",
// "errIsFifo", "errIsSocket", "errIsDevice", "errRead" (path and reason).

// The error key for a file of this kind that is not a regular file; null for
// a regular file.
const char* NotRegularKey(mode_t mode);

// Opens `path` to read (links followed) and fills `st`; the descriptor reads
// blocking from then on. The caller closes it.
int OpenInputFile(const std::string& path, struct stat& st);

// The whole of a file opened as above; "errRead" with the reason when a read fails.
std::string ReadInputFile(const std::string& path);

// The same check without keeping the file open.
void CheckInputFile(const std::string& path);

// True when both name the same existing file (same device and inode, links
// followed); false when either does not exist.
bool SameExistingFile(const std::string& a, const std::string& b);
