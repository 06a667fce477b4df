#include "base/wide_text.h"

#include <gtest/gtest.h>

namespace vzrm {
namespace {

TEST(WideText, ConvertsBothWaysIncludingSurrogatePairs) {
    const std::u16string wide = u"D:\\Records\\ÄB€\U0001F600.zrm";
    const std::string narrow = "D:\\Records\\ÄB€\xF0\x9F\x98\x80.zrm";
    EXPECT_EQ(WideToNarrow(wide), narrow);
    EXPECT_EQ(NarrowToWide(narrow), wide);
    // Appended after what is there, from little-endian bytes.
    std::string out = "x";
    const std::uint8_t bytes[] = {'a', 0, 'b', 0, 0xAC, 0x20, 'c', 0};
    AppendNarrowOfUtf16Le(bytes, 4, out);
    EXPECT_EQ(out,
              "xab\xE2\x82\xAC"
              "c");
}

TEST(WideText, NullWideTextIsEmpty) {
    EXPECT_EQ(WideToNarrow(static_cast<const char16_t*>(nullptr)), "");
    EXPECT_EQ(WideToNarrow(u""), "");
}

TEST(WideText, BrokenInputBecomesReplacementCharacters) {
    const std::string replacement = "\xEF\xBF\xBD";
    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
    EXPECT_EQ(WideToNarrow(lone), "a" + replacement + "b" + replacement);
    EXPECT_EQ(NarrowToWide("a\xFF"), u"a\uFFFD");
    EXPECT_EQ(NarrowToWide("\xC0\xAF"), u"\uFFFD");      // overlong "/"
    EXPECT_EQ(NarrowToWide("\xED\xA0\x80"), u"\uFFFD");  // encoded surrogate
    EXPECT_EQ(NarrowToWide("\xE2\x82"), u"\uFFFD");      // cut short at the end
}

}  // namespace
}  // namespace vzrm
