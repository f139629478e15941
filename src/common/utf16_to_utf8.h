#pragma once
// UTF-16 to UTF-8 into a caller's fixed buffer, as WideCharToMultiByte(CP_UTF8) does it
// with a NUL-terminated source: the terminator must fit too, and an unpaired surrogate
// becomes U+FFFD.

#include <cstddef>
#include <string_view>

namespace zk::common {

inline constexpr std::size_t kUtf8DoesNotFit = static_cast<std::size_t>(-1);

// Writes the UTF-8 form of text and a NUL into out[0..capacity); returns the number of
// bytes before the NUL, or kUtf8DoesNotFit (out then holds no usable text).
std::size_t Utf16ToUtf8(std::u16string_view text, char* out, std::size_t capacity);

}  // namespace zk::common
