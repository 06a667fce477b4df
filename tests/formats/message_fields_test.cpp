// Fields found in a message that is not made are the fields of the made message.
#include "formats/message_fields.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "formats/binxml_value_text.h"
#include "formats/format_message.h"

namespace vzrm::formats {
namespace {

const std::string_view kLabels[] = {"\tAccount Name:",
                                    "\tHandle ID:",
                                    "\tProcess ID:",
                                    "\tObject Name:",
                                    "\tProcess Name:",
                                    "\tAccess Mask:",
                                    "\t"};

// The plain reading: each label searched for alone in the whole text.
std::string OneLabel(std::string_view text, std::string_view label) {
    const std::size_t at = text.find(label);
    if (at == std::string_view::npos) {
        return {};
    }
    std::string_view value = text.substr(at + label.size());
    value = value.substr(0, value.find_first_of("\r\n"));
    const std::size_t first = value.find_first_not_of(" \t\r\n\v\f");
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(value.substr(first, value.find_last_not_of(" \t\r\n\v\f") - first + 1));
}

// Inserts held as texts; `precise` tells where the tabs are, else every
// insert may hold one.
class TextInserts final : public MessageInserts {
  public:
    TextInserts(const std::vector<std::string>& texts, bool precise)
        : texts_(texts), precise_(precise) {}
    std::size_t Count() const override { return texts_.size(); }
    std::size_t MaxSize(std::size_t index) override { return texts_[index].size(); }
    bool MayHoldTab(std::size_t index) override {
        return !precise_ || texts_[index].find('\t') != std::string::npos;
    }
    int FirstByte(std::size_t index) override {
        return texts_[index].empty() ? -1 : static_cast<unsigned char>(texts_[index][0]);
    }
    std::string_view Text(std::size_t index) override {
        ++made;
        return texts_[index];
    }
    int made = 0;

  private:
    const std::vector<std::string>& texts_;
    bool precise_;
};

std::string Pick(std::mt19937& random, std::span<const std::string_view> choices) {
    return std::string(choices[random() % choices.size()]);
}

// Templates and inserts put together from labels, parts of labels, line
// breaks, escapes, zeros and marker bytes, so that labels straddle texts
// and inserts, hide in inserts and are cut by line breaks.
TEST(MessageFields, FoundWithoutTheMessageAsInTheMessage) {
    static constexpr std::string_view kTemplateBits[] = {"\t",
                                                         "\t\t",
                                                         "\tAccount Name:",
                                                         "\tAccount",
                                                         " Name:",
                                                         "\tHandle ID:",
                                                         "\tObject Name:",
                                                         "\tProcess",
                                                         " ID:",
                                                         "\r\n",
                                                         "%n",
                                                         "%t",
                                                         "%r",
                                                         "%%",
                                                         ":",
                                                         "x",
                                                         "  ",
                                                         "%1",
                                                         "%2",
                                                         "%3",
                                                         "%4",
                                                         "%2!s!",
                                                         "%5",
                                                         "\tAccess Mask:\t\t"};
    static constexpr std::string_view kInsertBits[] = {
        "\t",   "Account Name:", "Account", " Name:",  "Handle ID:",
        "0x50", "D:\\a b.zrm",   "\r\n",    "\n",      std::string_view("\0z", 2),
        "\x01", "\tProcess ID:", " ",       "Process", "Name:",
        "A",    "ID:",           "\r"};
    std::mt19937 random(20261207);
    int found = 0;
    int skipped = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string pattern;
        for (int i = static_cast<int>(random() % 12); i >= 0; --i) {
            pattern += Pick(random, kTemplateBits);
        }
        std::vector<std::string> texts(random() % 5);
        for (std::string& text : texts) {
            for (int i = static_cast<int>(random() % 4); i > 0; --i) {
                text += Pick(random, kInsertBits);
            }
        }
        const CompiledMessage compiled(pattern);
        std::vector<const char*> arguments;
        for (const std::string& text : texts) {
            arguments.push_back(text.c_str());
        }
        std::string message;
        compiled.Format(arguments, message);
        const FieldPlan plan = compiled.PlanFields(kLabels);
        for (const bool precise : {true, false}) {
            SCOPED_TRACE(testing::Message() << "round " << round << " precise " << precise);
            TextInserts inserts(texts, precise);
            std::string values[std::size(kLabels)];
            ASSERT_TRUE(compiled.FindFields(plan, inserts, kLabels, values)) << pattern;
            std::string whole[std::size(kLabels)];
            FindMessageFields(message, kLabels, whole);
            for (std::size_t i = 0; i < std::size(kLabels); ++i) {
                ASSERT_EQ(values[i], OneLabel(message, kLabels[i]))
                    << "label " << i << " in [" << message << "] of [" << pattern << "]";
                ASSERT_EQ(whole[i], values[i]) << "label " << i;
                found += values[i].empty() ? 0 : 1;
            }
            skipped += precise && static_cast<std::size_t>(inserts.made) < texts.size() ? 1 : 0;
        }
    }
    // The rounds found fields, and spared the texts of inserts that held no tab.
    EXPECT_GT(found, 10000);
    EXPECT_GT(skipped, 1000);
}

TEST(MessageFields, TemplatesThatFormatTheirInsertsOrGrowLongAreLeftToTheWholeMessage) {
    std::vector<std::string> texts = {"x"};
    TextInserts inserts(texts, true);
    std::string values[std::size(kLabels)];
    const CompiledMessage padded("\tHandle ID:\t%1!5s!");
    EXPECT_FALSE(padded.FindFields(padded.PlanFields(kLabels), inserts, kLabels, values));
    texts[0].assign(kMaxMessageText, 'x');
    const CompiledMessage plain("\tHandle ID:\t%1\r\n");
    EXPECT_FALSE(plain.FindFields(plain.PlanFields(kLabels), inserts, kLabels, values));
    texts[0] = "7";
    ASSERT_TRUE(plain.FindFields(plain.PlanFields(kLabels), inserts, kLabels, values));
    EXPECT_EQ(values[1], "7");
}

// What a value's text starts with is told without the text, for every type
// and for values too short, cut or empty.
TEST(MessageFields, FirstByteOfAValueIsTheFirstByteOfItsText) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> bytes(48);
    for (int round = 0; round < 200000; ++round) {
        for (std::uint8_t& byte : bytes) {
            const std::uint32_t pick = random() % 8;
            byte = pick < 3   ? 0
                   : pick < 5 ? static_cast<std::uint8_t>('A' + random() % 40)
                              : static_cast<std::uint8_t>(random());
        }
        bytes[0] = random() % 3 == 0 ? 1 : bytes[0];  // a SID's revision
        BxValue value;
        value.type = static_cast<std::uint8_t>(random() % 20 == 0 ? std::uint32_t{kBxBinXml}
                                                                  : random() % 0x16);
        if (random() % 8 == 0) {
            value.type |= kBxArray;
        }
        value.size = static_cast<std::uint32_t>(random() % bytes.size());
        value.data = random() % 50 == 0 ? nullptr : bytes.data();
        const std::string text = BxValueText(value);
        ASSERT_EQ(BxValueTextFirstByte(value),
                  text.empty() ? -1 : static_cast<unsigned char>(text[0]))
            << "type " << int{value.type} << " size " << value.size;
    }
}

}  // namespace
}  // namespace vzrm::formats
