// The simulated machine's code pages: UTF-8 as Windows converts it, and Latin-1 as the
// ANSI code page.
#include "platform/sim/sim_system.h"

#include <algorithm>
#include <cstring>

namespace zk::sim {

std::u16string SimSystem::utf8ToWide(std::string_view text) {
    // As MultiByteToWideChar(CP_UTF8, 0) does since Vista: each invalid or truncated
    // sequence, overlong form, surrogate or value above U+10FFFF becomes U+FFFD.
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (len == 1) {
            out.push_back(c);
            ++i;
            continue;
        }
        char32_t cp = len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        std::size_t k = 1;
        for (; len && k < len && i + k < text.size(); ++k) {
            const unsigned char cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80) break;
            cp = (cp << 6) | (cc & 0x3F);
        }
        const bool complete = len && k == len;
        const char32_t minimum = len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
        if (!complete || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(u'\uFFFD');
            i += complete ? len : std::max<std::size_t>(k, 1);
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string SimSystem::wideToAnsi(std::u16string_view text) {
    // The simulated ANSI code page is Latin-1; anything beyond it becomes '?'.
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    return out;
}

int SimSystem::ansiToWide(const char* text, int length, char16_t* out, int outChars) {
    if (core_.failsWin32(Op::AnsiToWide)) return 0;
    // Latin-1, like wideToAnsi: one wide character per byte.
    if (!text || length < -1 || outChars < 0 || (outChars > 0 && !out)) {
        lastError() = win::ERROR_INVALID_PARAMETER;
        return 0;
    }
    const std::size_t n = length == -1 ? std::strlen(text) + 1 : static_cast<std::size_t>(length);
    if (n == 0) {
        lastError() = win::ERROR_INVALID_PARAMETER;
        return 0;
    }
    if (outChars == 0) return static_cast<int>(n);
    if (static_cast<std::size_t>(outChars) < n) {
        lastError() = win::ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(text[i]);
    return static_cast<int>(n);
}

}  // namespace zk::sim
