// UTF-16 to UTF-8 into a fixed buffer, as WideCharToMultiByte(CP_UTF8) writes it.

#include <gtest/gtest.h>

#include <string>

#include "common/utf16_to_utf8.h"

namespace zk::common {
namespace {

TEST(Utf16ToUtf8, EncodesEveryLengthAndReplacesUnpairedSurrogates) {
    const std::pair<std::u16string, std::string> cases[] = {
        {u"", ""},
        {u"game.exe", "game.exe"},
        {u"\u00E9", "\xC3\xA9"},                   // two bytes
        {u"\u20AC\u4E2D", "\xE2\x82\xAC\xE4\xB8\xAD"},  // three bytes each
        {u"a\U0001F3AEb", "a\xF0\x9F\x8E\xAE" "b"},    // a surrogate pair: four bytes
        {u"\xD800\xDC00\xE000", "\xF0\x90\x80\x80\xEE\x80\x80"},  // the lowest pair, then U+E000
        {u"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF"},  // the highest pair
        {u"\xD800x", "\xEF\xBF\xBDx"},             // high surrogate without its pair
        {u"\xDC00", "\xEF\xBF\xBD"},               // a lone low surrogate
    };
    for (const auto& [in, out] : cases) {
        char buf[32];
        const std::size_t n = Utf16ToUtf8(in, buf, sizeof buf);
        ASSERT_NE(n, kUtf8DoesNotFit);
        EXPECT_EQ(std::string(buf, n), out);
        EXPECT_EQ(buf[n], '\0');
    }
}

TEST(Utf16ToUtf8, TheTerminatorMustFitToo) {
    char buf[4];
    EXPECT_EQ(Utf16ToUtf8(u"abc", buf, 4), 3u);
    EXPECT_EQ(Utf16ToUtf8(u"abcd", buf, 4), kUtf8DoesNotFit);
    EXPECT_EQ(Utf16ToUtf8(u"a\u20AC", buf, 4), kUtf8DoesNotFit);  // four bytes of text
    EXPECT_EQ(Utf16ToUtf8(u"", buf, 0), kUtf8DoesNotFit);
}

}  // namespace
}  // namespace zk::common
