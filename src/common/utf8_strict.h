#pragma once
// UTF-8 to UTF-16 that refuses malformed input, as MultiByteToWideChar(CP_UTF8,
// MB_ERR_INVALID_CHARS) does: any invalid sequence makes the whole result empty, so that a
// caller can fall back to another code page.

#include <string>
#include <string_view>

namespace zk::common {

std::u16string utf8ToUtf16Strict(std::string_view text);

}  // namespace zk::common
