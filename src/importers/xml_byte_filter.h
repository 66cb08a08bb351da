#pragma once

#include <string>
#include <string_view>

// A NUL byte, which XML cannot hold, is passed on as this character
// (U+FDD0, a noncharacter) so that the name that held it can be refused.
inline constexpr const char* kNulMarkReference = "&#xFDD0;";
inline constexpr const char* kNulMarkUtf8 = "\xEF\xB7\x90";

// Makes what CDCat writes acceptable to a strict XML parser, chunk by chunk:
// control characters become spaces (a NUL the mark above), an "&" that starts no character or
// predefined entity reference becomes "&amp;", and (for UTF-8 text) bytes that
// are not UTF-8 become U+FFFD. CDCat escapes only & < > " and writes the rest
// raw; the location of a link to another catalog (<catlnk ... location="...">)
// it writes unescaped, so a "<" in it is escaped, and so is a '"' unless it
// ends the tag's last attribute or is followed by another attribute.
class TXmlByteFilter {
public:
    explicit TXmlByteFilter(bool utf8) : utf8_(utf8) {}
    // Appends the filtered bytes of `in` to `out`; an incomplete sequence at
    // the end waits for the next chunk unless `last`.
    void Feed(std::string_view in, bool last, std::string& out);

private:
    enum class TLink { Outside, InTag, InLocation };

    bool utf8_;
    std::string carry_;
    TLink link_ = TLink::Outside;
};
