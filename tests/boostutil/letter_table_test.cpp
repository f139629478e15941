// The letters and digits that program and service names may hold: each range's first and
// last member, and the code units just outside it.

#include <gtest/gtest.h>

#include <string>

#include "boostutil/process_names.h"

namespace zk::boostutil {
namespace {

TEST(LetterTable, EdgesOfEachScript) {
    const std::u16string letters =
        u"09azAZ\u00C0\u00D6\u00D8\u00F6\u00F8\u024F\u0370\u037D\u037F\u0386\u0388\u052F"
        u"\u3041\u30FA\u30FC\u30FF\u4E00\u9FFF\uAC00\uD7A3";
    const std::u16string others =
        u"/:@[`{\u00BF\u00D7\u00F7\u0250\u036F\u037E\u0387\u0530\u3040\u30FB\u3100\u4DFF\uA000\uABFF\uD7A4";
    for (const char16_t c : letters) EXPECT_TRUE(isLetterOrDigit(c)) << std::hex << int(c);
    for (const char16_t c : others) EXPECT_FALSE(isLetterOrDigit(c)) << std::hex << int(c);
}

}  // namespace
}  // namespace zk::boostutil
