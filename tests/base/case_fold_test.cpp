// Case-insensitive comparison of texts, the same in every process locale.
#include "base/case_fold.h"

#include <gtest/gtest.h>
#include <locale.h>
#include <wctype.h>

#include "base/case_fold_table.h"
#include "base/wide_text.h"

namespace vzrm {
namespace {

TEST(CaseFold, MultibyteCharactersCompareIgnoringCase) {
    EXPECT_TRUE(EqualNoCase("D:\\Records\\ÄB.ZRM", "d:\\records\\äb.zrm"));
    EXPECT_TRUE(EqualNoCase("ΣΟΦΊΑ.zrm", "σοφία.ZRM"));
    EXPECT_TRUE(EqualNoCase("ПРОБА", "проба"));
    EXPECT_FALSE(EqualNoCase("a.zrm", "b.zrm"));
    EXPECT_FALSE(EqualNoCase("Ä", "A"));
    EXPECT_EQ(FoldCase("MiXeD\xF0\x9F\x98\x80"), "mixed\xF0\x9F\x98\x80");
}

// The table is the C library's own lower-case mapping of the whole plane: a
// table generated on another machine, or edited by hand, shows up here.
TEST(CaseFold, TheTableIsTheCLibrarysMapping) {
    const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (unicode == static_cast<locale_t>(nullptr)) {
        GTEST_SKIP() << "no C.UTF-8 locale here";
    }
    int differences = 0;
    for (char32_t c = 0x80; c < 0x10000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) {
            continue;
        }
        const auto lower = static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), unicode));
        const std::string text = WideToNarrow(std::u16string(1, static_cast<char16_t>(c)));
        const std::string expected =
            WideToNarrow(std::u16string(1, static_cast<char16_t>(lower < 0x10000 ? lower : c)));
        if (FoldCase(text) != expected && ++differences <= 5) {
            ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(c);
        }
    }
    freelocale(unicode);
    EXPECT_EQ(differences, 0);
}

TEST(CaseFold, AsciiAndOtherPlanesAndSurrogates) {
    EXPECT_EQ(FoldCase("D:\\Records\\CASE12.ZRM"), "d:\\records\\case12.zrm");
    EXPECT_TRUE(
        EqualNoCase("\xC3\x84"
                    "B",
                    "\xC3\xA4"
                    "b"));                                        // Ä, ä
    EXPECT_EQ(FoldCase("\xF0\x90\x90\x80"), "\xF0\x90\x90\x80");  // outside the plane: kept
    EXPECT_FALSE(EqualNoCase("a", "ab"));
}

}  // namespace
}  // namespace vzrm
