#include "common/utf16_to_utf8.h"

namespace zk::common {

std::size_t Utf16ToUtf8(std::u16string_view text, char* out, std::size_t capacity) {
    std::size_t n = 0;
    auto put = [&](unsigned char b) {
        if (n + 1 >= capacity) return false;  // keep room for the terminator
        out[n++] = static_cast<char>(b);
        return true;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        bool ok;
        if (c < 0x80) {
            ok = put(static_cast<unsigned char>(c));
        } else if (c < 0x800) {
            ok = put(0xC0 | (c >> 6)) && put(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            ok = put(0xE0 | (c >> 12)) && put(0x80 | ((c >> 6) & 0x3F)) && put(0x80 | (c & 0x3F));
        } else {
            ok = put(0xF0 | (c >> 18)) && put(0x80 | ((c >> 12) & 0x3F)) &&
                 put(0x80 | ((c >> 6) & 0x3F)) && put(0x80 | (c & 0x3F));
        }
        if (!ok) return kUtf8DoesNotFit;
    }
    if (capacity == 0) return kUtf8DoesNotFit;
    out[n] = '\0';
    return n;
}

}  // namespace zk::common
