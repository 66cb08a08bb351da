#include "tags/tag_value.h"

#include <charconv>
#include <cmath>

namespace {

std::string DoubleText(double d) {
    if (!std::isfinite(d)) return {};
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 15);
    if (r.ec != std::errc()) return {};
    return std::string(buf, r.ptr);
}

} // namespace

std::string TagLineText(std::string s) {
    for (char& c : s)
        if (c == '\r' || c == '\n') c = ' ';
    return s;
}

std::string TagValueText(const TTagValue& v) {
    return std::visit(
        [](const auto& x) -> std::string {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::string>)
                return TagLineText(x);
            else if constexpr (std::is_same_v<T, double>)
                return DoubleText(x);
            else
                return std::to_string(
                    static_cast<std::conditional_t<std::is_signed_v<T>, int64_t, uint64_t>>(x));
        },
        v);
}
