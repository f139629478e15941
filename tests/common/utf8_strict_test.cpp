// UTF-8 to UTF-16 that refuses any malformed sequence with an empty result.

#include <gtest/gtest.h>

#include <string>

#include "common/utf8_strict.h"

namespace zk::common {
namespace {

TEST(Utf8Strict, DecodesEveryLengthAndRefusesMalformedInput) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"", u""},
        {"a\x7F", u"a\x7F"},
        {"\xC3\xA9x", u"\u00E9x"},                      // two bytes, then one
        {"\xDF\xBF", u"\u07FF"},                         // the last two-byte value
        {"\xE2\x82\xAC", u"\u20AC"},                     // three bytes
        {"\xF0\x9F\x8E\xAE" "b", u"\U0001F3AEb"},        // four bytes: a surrogate pair
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"\xC3", u""},                                   // cut short
        {"\xC3x", u""},                                  // not a continuation byte
        {"\x80", u""},                                   // a lone continuation byte
        {"\xC1\xBF", u""},                               // overlong
        {"\xE0\x9F\xBF", u""},
        {"\xF0\x8F\xBF\xBF", u""},
        {"\xED\xA0\x80", u""},                           // a surrogate
        {"\xF4\x90\x80\x80", u""},                       // past U+10FFFF
        {"\xF8\x88\x80\x80\x80", u""},                   // no five-byte forms
        {"ok\xFF", u""},                                 // one bad byte empties the whole text
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(utf8ToUtf16Strict(in), out) << ::testing::PrintToString(in);
}

}  // namespace
}  // namespace zk::common
