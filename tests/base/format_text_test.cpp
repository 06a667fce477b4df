#include "base/format_text.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace vzrm {
namespace {

TEST(FormatText, ArgumentsAreNeverScannedForDirectives) {
    EXPECT_EQ(FormatText("[%s]", "%s%d%n%%"), "[%s%d%n%%]");
    EXPECT_EQ(FormatText("%s and %s", "a%s", "b"), "a%s and b");
}

TEST(FormatText, MissingArgumentsGiveEmptyFields) {
    EXPECT_EQ(FormatText("%s-%s-%d"), "--0");
    EXPECT_EQ(FormatText("%s|%s", "only"), "only|");
}

TEST(FormatText, LiteralPercentAndMalformedDirectives) {
    EXPECT_EQ(FormatText("100%%"), "100%");
    EXPECT_EQ(FormatText("end%"), "end%");
    EXPECT_EQ(FormatText("%y%k"), "%y%k");
}

TEST(FormatText, IntegerWidthsFollowTheWindowsModifiers) {
    EXPECT_EQ(FormatText("%d (0x%X)", -5, -5), "-5 (0xFFFFFFFB)");
    EXPECT_EQ(FormatText("%u", std::uint32_t{4294967295u}), "4294967295");
    EXPECT_EQ(FormatText("%lu", std::int64_t{-1}), "4294967295");  // l is 32 bits
    EXPECT_EQ(FormatText("0x%08I64X", std::int64_t{-2147483646}), "0xFFFFFFFF80000002");
    EXPECT_EQ(FormatText("%I64u", std::uint64_t{18446744073709551615ull}), "18446744073709551615");
    EXPECT_EQ(FormatText("%04X:", 0x1AB), "01AB:");
    EXPECT_EQ(FormatText("%02X", static_cast<unsigned char>(0xE)), "0E");
}

TEST(FormatText, FlagsWidthAndPrecision) {
    EXPECT_EQ(FormatText("(GMT%+0d:%02d)", 5, 30), "(GMT+5:30)");
    EXPECT_EQ(FormatText("(GMT%+0d:%02d)", 0, 30), "(GMT+0:30)");
    EXPECT_EQ(FormatText("[%-5s]", "ab"), "[ab   ]");
    EXPECT_EQ(FormatText("[%5s]", "ab"), "[   ab]");
    EXPECT_EQ(FormatText("[%.2s]", "abcdef"), "[ab]");
    EXPECT_EQ(FormatText("[%*d]", 4, 7), "[   7]");
    EXPECT_EQ(FormatText("%c%c", 'o', 'k'), "ok");
    EXPECT_EQ(FormatText("%.3f", 1.5), "1.500");
}

TEST(FormatText, MismatchedArgumentKindsStaySafe) {
    EXPECT_EQ(FormatText("%d", "text"), "0");
    EXPECT_EQ(FormatText("%s", 42), "42");
    EXPECT_EQ(FormatText("%s", static_cast<const char*>(nullptr)), "");
}

TEST(FormatText, LongArgumentsAreNotCut) {
    const std::string longText(5000, 'x');
    EXPECT_EQ(FormatText("<%s>", longText), "<" + longText + ">");
    EXPECT_EQ(FormatText("%s", std::string("a\0b", 3)), std::string("a\0b", 3));
}

}  // namespace
}  // namespace vzrm
