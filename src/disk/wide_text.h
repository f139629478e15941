#pragma once
// Wide log text: pieces and numbers joined into one string sized for the result.

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

namespace zk::disk {

inline void appendPiece(std::u16string& out, std::u16string_view s) { out.append(s); }
inline void appendPiece(std::u16string& out, const char16_t* s) {
    if (s) out.append(s);
}
template <std::integral T>
void appendPiece(std::u16string& out, T v) {
    char16_t digits[24];
    char16_t* p = digits + 24;
    const bool negative = v < 0;
    auto u = negative ? static_cast<std::uint64_t>(-(static_cast<std::int64_t>(v) + 1)) + 1
                      : static_cast<std::uint64_t>(v);
    do {
        *--p = static_cast<char16_t>(u'0' + u % 10);
        u /= 10;
    } while (u);
    if (negative) *--p = u'-';
    out.append(p, digits + 24);
}

template <typename... Pieces>
std::u16string join(const Pieces&... pieces) {
    std::u16string out;
    (appendPiece(out, pieces), ...);
    return out;
}

}  // namespace zk::disk
