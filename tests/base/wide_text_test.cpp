#include "base/wide_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

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

// Bytes read four units at a time give what a unit at a time gives, wherever
// the first unit beyond ASCII falls: one whose high byte alone is set (Ł,
// 0x0141), a byte at 0x80, a surrogate pair across four units' boundary.
TEST(WideText, LittleEndianBytesConvertAsTheirUnits) {
    for (const char16_t odd : {u'\u0141', u'\u0080', u'\u00E9', char16_t{0xD83D}}) {
        for (std::size_t place = 0; place < 13; ++place) {
            std::u16string wide = u"D:\\Records\\case-0412.zrm";
            wide.insert(place, 1, odd);
            if (odd == 0xD83D) {
                wide.insert(place + 1, 1, char16_t{0xDE00});
            }
            std::vector<std::uint8_t> bytes;
            for (const char16_t unit : wide) {
                bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
                bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
            }
            std::string out = "x";
            AppendNarrowOfUtf16Le(bytes.data(), wide.size(), out);
            EXPECT_EQ(out, "x" + WideToNarrow(wide)) << "place " << place;
        }
    }
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
