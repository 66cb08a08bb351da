#pragma once

#include <string>
#include <vector>

// What the shell should offer for the word being completed. The first line
// of the hidden "__complete" command's output is the kind, the lines after it
// the candidates of kind Words.
struct TCompletion {
    enum class TKind { Words, Files, Folders, Catalogs };
    TKind Kind = TKind::Words;
    std::vector<std::string> Words;
};

// `words` as the shell split the command line, dequoted, the program first;
// `current` indexes the word being completed (it may be one past the end).
TCompletion CompleteCommandLine(const std::vector<std::string>& words, size_t current);

// The hidden command: "__complete INDEX WORD...". Prints the kind, then the
// candidates, one a line. Never fails: a wrong line completes to nothing.
int CmdComplete(const std::vector<std::string>& args);
