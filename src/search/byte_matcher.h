#pragma once

#include <array>
#include <bitset>
#include <map>
#include <string_view>
#include <vector>

// An extended regular expression matched against ASCII names a byte at a
// time, through states it builds as the names need them: a name costs a
// table step per byte, where the library's matcher costs several times
// that for each name before its first byte. It follows what an expression
// means the same in every locale for ASCII text (bytes, brackets, classes,
// groups, alternation, repetition, ^ and $); anything else, word boundaries
// among them, it leaves to the library. Not for sharing between threads:
// a search's threads each hold their own.
class TByteMatcher {
public:
    // False when the expression holds what the matcher does not follow.
    bool Compile(std::string_view pattern);
    // Whether the expression matches somewhere in a text of ASCII bytes (up
    // to its first zero byte, as the library reads it): 1 or 0, or -1 when
    // the matcher has built as many states as it may and leaves this text to
    // the library.
    int Search(std::string_view text);

private:
    struct TNode {
        enum TKind { Byte, Empty, Split, LineStart, LineEnd, Match } Kind;
        std::bitset<128> Bytes; // for Byte: the bytes that lead on
        int Out = -1, Out2 = -1;
    };
    struct TFragment {
        int Start;
        std::vector<std::pair<int, int>> Outs; // node and which exit, to be joined to what follows
    };

    int Add(TNode node);
    void Join(const std::vector<std::pair<int, int>>& outs, int to);
    TFragment Alternation(int depth);
    TFragment Sequence(int depth);
    TFragment Repeated(int depth);
    TFragment Atom(int depth);
    TFragment Optional(TFragment f);
    std::bitset<128> Bracket();
    int Number();

    // The nodes reached from `from` without reading a byte; `atStart` and
    // `atEnd` tell which of ^ and $ hold there.
    std::vector<int> Closure(std::vector<int> from, bool atStart, bool atEnd) const;
    int State(std::vector<int> nodes, bool initial);
    int Step(int state, unsigned char c);

    std::string_view p_;
    size_t i_ = 0, reread_ = 0;
    std::vector<TNode> nodes_;
    int start_ = -1;

    std::map<std::pair<std::vector<int>, bool>, int> ids_;
    std::vector<std::vector<int>> sets_;
    std::vector<std::array<int, 128>> next_;
    std::vector<char> matched_, matchedAtEnd_;
    std::vector<char> stop_;    // matched, or no match can follow: the text's rest is skipped
    bool restartsEmpty_ = true; // a match cannot start past the text's start (a "^" expression)
};
