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

// The message made of `texts` as its inserts.
std::string Made(const CompiledMessage& compiled, const std::vector<std::string>& texts) {
    std::vector<const char*> arguments;
    for (const std::string& text : texts) {
        arguments.push_back(text.c_str());
    }
    std::string message;
    compiled.Format(arguments, message);
    return message;
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
        const std::string message = Made(compiled, texts);
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

// Templates shaped as the Security events' (each label on a line of its own,
// its insert after a tab), some lines twice, some labels missing, with
// inserts that are ordinary values or hide labels, run on into the next
// line, are empty or end in a tab: where the fields are taken without a
// search they are those of the made message, and ordinary ones are taken.
TEST(MessageFields, FieldsTakenFromTheInsertsOfTheirLinesAreThoseOfTheMessage) {
    static constexpr std::string_view kLines[] = {
        "%tAccount Name:%t", "%tHandle ID:%t",   "%tProcess ID:%t",     "%tObject Name:%t",
        "%tProcess Name:%t", "%tAccess Mask:%t", "%tSecurity ID:%t",    "%tAccesses:%t",
        "%tLogon ID:%t",     "%tAccount:  %t",   "Object:%n%tHandle:%t"};
    static constexpr std::string_view kOrdinary[] = {
        "a.nowak",
        "0x1a4",
        "D:\\Rec\\case 12.zrm",
        "C:\\Windows\\explorer.exe",
        "S-1-5-18",
        "-",
        "ReadData (or ListDirectory)\r\n\t\t\t\tWriteData\r\n\t\t\t\t"};
    static constexpr std::string_view kOdd[] = {"\t",
                                                "Account Name:",
                                                "Handle ID: 7",
                                                "Access",
                                                "\tProcess ID: 9",
                                                "x\tObject Name:",
                                                "\r\nA",
                                                "",
                                                "\x01",
                                                std::string_view("0\0z", 3),
                                                "Administrator",
                                                "\tHandle",
                                                "Process"};
    const std::span<const std::string_view> labels(kLabels, 6);  // not the tab alone
    std::mt19937 random(20261209);
    int taken = 0;
    int declined = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string pattern = "A handle.%n%n";
        const int lines = 3 + static_cast<int>(random() % 8);
        for (int i = 1; i <= lines; ++i) {
            pattern += Pick(random, kLines) + "%" + std::to_string(i) + "%n";
        }
        std::vector<std::string> texts(
            static_cast<std::size_t>(lines - static_cast<int>(random() % 2)));
        for (std::string& text : texts) {
            text = random() % 8 == 0 ? Pick(random, kOdd) + Pick(random, kOrdinary)
                                     : Pick(random, kOrdinary);
        }
        const CompiledMessage compiled(pattern);
        const std::string message = Made(compiled, texts);
        std::string whole[6];
        FindMessageFields(message, labels, whole);
        const FieldPlan plan = compiled.PlanFields(labels);
        TextInserts inserts(texts, true);
        std::string values[6];
        if (!compiled.TakeInsertLines(plan, inserts, labels, values)) {
            ++declined;
            continue;
        }
        ++taken;
        for (std::size_t i = 0; i < labels.size(); ++i) {
            ASSERT_EQ(values[i], whole[i]) << "label " << i << " in [" << message << "]";
        }
    }
    EXPECT_GT(taken, 5000);
    EXPECT_GT(declined, 1000);
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
