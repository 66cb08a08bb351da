#pragma once

#include <string>
#include <string_view>

// Makes what CDCat writes acceptable to a strict XML parser, chunk by chunk:
// control characters become spaces, an "&" that starts no character or
// predefined entity reference becomes "&amp;", and (for UTF-8 text) bytes that
// are not UTF-8 become U+FFFD. CDCat escapes only & < > " and writes the rest raw.
class TXmlByteFilter {
public:
    explicit TXmlByteFilter(bool utf8) : utf8_(utf8) {}
    // Appends the filtered bytes of `in` to `out`; an incomplete sequence at
    // the end waits for the next chunk unless `last`.
    void Feed(std::string_view in, bool last, std::string& out);

private:
    bool utf8_;
    std::string carry_;
};
