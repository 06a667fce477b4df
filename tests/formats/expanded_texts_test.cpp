// Texts expanded once per source give what expanding each time gives, and
// what is kept stays bounded whatever the log holds.
#include <gtest/gtest.h>

#include <string>

#include "formats/format_message.h"

namespace vzrm::formats {
namespace {

TEST(ExpandedTexts, KeptTextsAreTheExpansionsAndStayBounded) {
    int lookups = 0;
    const auto lookup = [&](std::uint32_t number, std::string& found) {
        ++lookups;
        if (number == 7) {
            return false;  // unknown references stay
        }
        found = "P" + std::to_string(number);
        return true;
    };
    const auto expanded = [&](ExpandedTexts& texts, std::string text) {
        texts.Expand(text, lookup);
        return text;
    };
    ExpandedTexts texts;
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(expanded(texts, "%%4416\n\t\t%%7 %%x %%"), "P4416\n\t\t%%7 %%x %%");
        EXPECT_EQ(expanded(texts, "no references"), "no references");
    }
    EXPECT_EQ(lookups, 2);  // the second round took the kept text

    // Long texts are expanded each time, and not kept.
    const std::string longText = std::string(ExpandedTexts::kTextSize, 'a') + "%%1";
    lookups = 0;
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(expanded(texts, longText), std::string(ExpandedTexts::kTextSize, 'a') + "P1");
    }
    EXPECT_EQ(lookups, 3);

    // Past the number kept, texts are still expanded, each time.
    for (std::size_t i = 0; i < ExpandedTexts::kTexts + 10; ++i) {
        EXPECT_EQ(expanded(texts, "%%" + std::to_string(100 + i)), "P" + std::to_string(100 + i));
    }
    lookups = 0;
    const std::string last = "%%" + std::to_string(100 + ExpandedTexts::kTexts + 5);
    EXPECT_EQ(expanded(texts, last), "P" + std::to_string(100 + ExpandedTexts::kTexts + 5));
    EXPECT_EQ(expanded(texts, last), "P" + std::to_string(100 + ExpandedTexts::kTexts + 5));
    EXPECT_EQ(lookups, 2);
}

}  // namespace
}  // namespace vzrm::formats
