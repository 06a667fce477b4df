#include "formats/message_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/case_fold.h"
#include "base/wide_text.h"

namespace vzrm::formats {
namespace {

constexpr std::uint32_t kResourceMessageTable = 11;
constexpr std::uint32_t kEnglish = 0x409;
constexpr int kMaxEntriesPerBlock = 1 << 20;

class Bytes {
  public:
    explicit Bytes(std::span<const std::uint8_t> data) : data_(data) {}
    bool Has(std::uint64_t at, std::uint64_t size) const {
        return at <= data_.size() && size <= data_.size() - at;
    }
    std::uint16_t U16(std::uint64_t at) const {
        return Has(at, 2) ? static_cast<std::uint16_t>(data_[at] | data_[at + 1] << 8) : 0;
    }
    std::uint32_t U32(std::uint64_t at) const {
        if (!Has(at, 4)) {
            return 0;
        }
        std::uint32_t v;
        std::memcpy(&v, data_.data() + at, 4);
        return v;
    }
    const std::uint8_t* At(std::uint64_t at) const { return data_.data() + at; }

  private:
    std::span<const std::uint8_t> data_;
};

struct Section {
    std::uint32_t address;
    std::uint32_t size;
    std::uint32_t raw;
    std::uint32_t rawSize;
};

std::string AnsiText(const std::uint8_t* text, std::size_t size) {
    std::string out;
    for (std::size_t i = 0; i < size && text[i] != 0; ++i) {
        AppendUtf8(out, text[i]);  // Latin-1, near enough to the Western code page
    }
    return out;
}

std::string UnicodeText(const std::uint8_t* text, std::size_t size) {
    std::u16string wide;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const char16_t unit = static_cast<char16_t>(text[i] | text[i + 1] << 8);
        if (unit == 0) {
            break;
        }
        wide.push_back(unit);
    }
    return WideToNarrow(wide);
}

std::string Trim(std::string_view s) {
    const std::size_t begin = s.find_first_not_of(" \t\r");
    const std::size_t end = s.find_last_not_of(" \t\r");
    return begin == std::string::npos ? std::string()
                                      : std::string(s.substr(begin, end - begin + 1));
}

bool ParseNumber(const std::string& text, std::uint32_t& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    const unsigned long long number = std::strtoull(text.c_str(), &end, 0);
    if (*end != '\0' || number > 0xFFFFFFFFull) {
        return false;
    }
    value = static_cast<std::uint32_t>(number);
    return true;
}

// The file offset of a relative address, through the section that holds it.
bool OffsetOf(const std::vector<Section>& sections, std::uint32_t rva, std::uint64_t& offset) {
    for (const Section& s : sections) {
        const std::uint32_t span = std::max(s.size, s.rawSize);
        if (rva >= s.address && rva - s.address < span) {
            offset = static_cast<std::uint64_t>(s.raw) + (rva - s.address);
            return true;
        }
    }
    return false;
}

// The sections of a PE file and the offset of its resource directory.
bool FindResourceRoot(const Bytes& b, std::vector<Section>& sections, std::uint64_t& root,
                      std::string& error) {
    if (!b.Has(0, 0x40) || b.U16(0) != 0x5A4D) {
        error = "not a PE file (no MZ header)";
        return false;
    }
    const std::uint64_t pe = b.U32(0x3C);
    if (!b.Has(pe, 24) || b.U32(pe) != 0x00004550) {
        error = "not a PE file (no PE signature)";
        return false;
    }
    const std::uint16_t sectionCount = b.U16(pe + 6);
    const std::uint16_t optionalSize = b.U16(pe + 20);
    const std::uint64_t optional = pe + 24;
    const std::uint16_t magic = b.U16(optional);
    const std::uint64_t directories = optional + (magic == 0x20B ? 112 : 96);
    const std::uint32_t directoryCount = b.U32(optional + (magic == 0x20B ? 108 : 92));
    if ((magic != 0x10B && magic != 0x20B) || directoryCount < 3 || !b.Has(directories + 16, 8)) {
        error = "PE file without a resource directory";
        return false;
    }
    const std::uint32_t resourceRva = b.U32(directories + 16);
    for (std::uint64_t i = 0, at = optional + optionalSize; i < sectionCount && b.Has(at, 40);
         ++i, at += 40) {
        sections.push_back({b.U32(at + 12), b.U32(at + 8), b.U32(at + 20), b.U32(at + 16)});
    }
    if (resourceRva == 0 || !OffsetOf(sections, resourceRva, root)) {
        error = "PE file without resources";
        return false;
    }
    return true;
}

// One step down the resource tree: the entry with `id`, or any when id is
// 0xFFFFFFFF (the `preferred` one when there).
bool ResourceChild(const Bytes& b, std::uint64_t directory, std::uint32_t id,
                   std::uint32_t preferred, std::uint32_t& offset) {
    const std::uint32_t count =
        static_cast<std::uint32_t>(b.U16(directory + 12)) + b.U16(directory + 14);
    bool found = false;
    for (std::uint32_t i = 0; i < count && b.Has(directory + 16 + 8 * i, 8); ++i) {
        const std::uint32_t name = b.U32(directory + 16 + 8 * i);
        const std::uint32_t data = b.U32(directory + 20 + 8 * i);
        if (id != 0xFFFFFFFF && name != id) {
            continue;
        }
        if (!found || name == preferred) {
            offset = data;
            found = true;
        }
        if (id != 0xFFFFFFFF || name == preferred) {
            break;
        }
    }
    return found;
}

// The message table's leaf under the resource root: its entry, English when there.
bool FindMessageTableLeaf(const Bytes& b, std::uint64_t root, std::uint32_t& languageEntry) {
    std::uint32_t typeEntry = 0, nameEntry = 0;
    return ResourceChild(b, root, kResourceMessageTable, kResourceMessageTable, typeEntry) &&
           (typeEntry & 0x80000000u) &&
           ResourceChild(b, root + (typeEntry & 0x7FFFFFFF), 0xFFFFFFFF, 1, nameEntry) &&
           (nameEntry & 0x80000000u) &&
           ResourceChild(b, root + (nameEntry & 0x7FFFFFFF), 0xFFFFFFFF, kEnglish, languageEntry) &&
           !(languageEntry & 0x80000000u);
}

// The entries of a message table's blocks.
void ReadMessageBlocks(const Bytes& m, std::uint64_t dataSize, MessageTable& table) {
    const std::uint32_t blocks = m.U32(0);
    // Entries own their bytes: blocks that point at the same entries cannot
    // make the texts read larger than the data.
    std::uint64_t bytesLeft = dataSize;
    for (std::uint32_t i = 0; i < blocks && m.Has(4 + 12ull * i, 12); ++i) {
        const std::uint32_t low = m.U32(4 + 12ull * i);
        const std::uint32_t high = m.U32(8 + 12ull * i);
        std::uint64_t at = m.U32(12 + 12ull * i);
        for (std::uint64_t id = low; id <= high && id - low < kMaxEntriesPerBlock && m.Has(at, 4);
             ++id) {
            const std::uint16_t length = m.U16(at);
            const std::uint16_t flags = m.U16(at + 2);
            if (length < 4 || !m.Has(at, length) || length > bytesLeft) {
                break;
            }
            bytesLeft -= length;
            table[static_cast<std::uint32_t>(id)] = flags & 1
                                                        ? UnicodeText(m.At(at + 4), length - 4u)
                                                        : AnsiText(m.At(at + 4), length - 4u);
            at += length;
        }
    }
}

constexpr char kUnclosedText[] = "message text without its closing \".\"";

// Where a message-compiler source stands between two of its lines.
struct McState {
    std::uint32_t id = 0;
    bool haveId = false;
    std::uint32_t severity = 0;
    std::uint32_t facility = 0;
    bool inText = false;
    bool firstLanguage = true;
    std::string message;
};

// One line of a message's text; "." ends it. Only the first language's text
// is kept.
void TakeTextLine(const std::string& line, McState& state, MessageTable& table) {
    if (line != ".") {
        state.message += line + "\r\n";
        return;
    }
    const std::uint32_t full =
        state.severity << 30 | (state.facility & 0xFFF) << 16 | (state.id & 0xFFFF);
    if (state.firstLanguage) {
        table[full] = state.message;
    }
    state.firstLanguage = false;
    state.inText = false;
    state.message.clear();
}

// One Name=value header; what is wrong with it, or empty.
std::string TakeHeader(const std::string& key, const std::string& value, McState& state) {
    if (key == "messageid") {
        if (value.empty() || value[0] == '+') {
            std::uint32_t step = 1;
            if (value.size() > 1 && !ParseNumber(value.substr(1), step)) {
                return "MessageId=+N takes a number";
            }
            state.id = state.haveId ? state.id + step : 0;
        } else if (!ParseNumber(value, state.id)) {
            return "MessageId takes a number";
        }
        state.haveId = true;
        state.firstLanguage = true;
        state.severity = state.facility = 0;
    } else if (key == "severity") {
        const std::string name = FoldCase(value);
        state.severity = name == "success"         ? 0
                         : name == "informational" ? 1
                         : name == "warning"       ? 2
                         : name == "error"         ? 3
                                                   : 4;
        if (state.severity == 4) {
            return "unknown severity " + value;
        }
    } else if (key == "facility") {
        const std::string name = FoldCase(value);
        if (name == "system") {
            state.facility = 0x0FF;
        } else if (name == "application") {
            state.facility = 0xFFF;
        } else if (!ParseNumber(value, state.facility)) {
            return "unknown facility " + value;
        }
    } else if (key == "language") {
        if (!state.haveId) {
            return "Language= before any MessageId=";
        }
        state.inText = true;
    }
    // SymbolicName, OutputBase and the *Names and Typedef headers change nothing here.
    return {};
}

// One line outside a message's text: blank, a comment or a header; what is
// wrong with it, or empty.
std::string TakeHeaderLine(const std::string& line, McState& state) {
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == ';') {
        return {};
    }
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string::npos) {
        return "expected Name=value";
    }
    return TakeHeader(FoldCase(Trim(trimmed.substr(0, equals))), Trim(trimmed.substr(equals + 1)),
                      state);
}

bool FailAtLine(std::size_t number, const std::string& why, MessageTable& table,
                std::string& error) {
    error = "line " + std::to_string(number) + ": " + why;
    table.clear();
    return false;
}

}  // namespace

bool ReadPeMessageTable(std::span<const std::uint8_t> file, MessageTable& table,
                        std::string& error) {
    table.clear();
    const Bytes b(file);
    std::vector<Section> sections;
    std::uint64_t root = 0;
    if (!FindResourceRoot(b, sections, root, error)) {
        return false;
    }
    std::uint32_t languageEntry = 0;
    if (!FindMessageTableLeaf(b, root, languageEntry)) {
        error = "PE file without a message table";
        return false;
    }
    const std::uint64_t leaf = root + languageEntry;
    std::uint64_t data = 0;
    const std::uint32_t dataSize = b.U32(leaf + 4);
    if (!b.Has(leaf, 16) || !OffsetOf(sections, b.U32(leaf), data) || !b.Has(data, dataSize)) {
        error = "message table outside the file";
        return false;
    }
    ReadMessageBlocks(Bytes(file.subspan(data, dataSize)), dataSize, table);
    return true;
}

bool ReadMcMessages(std::string_view text, MessageTable& table, std::string& error) {
    table.clear();
    McState state;
    std::size_t number = 0;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string line(text.substr(at, end - at));
        at = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (state.inText) {
            TakeTextLine(line, state, table);
            if (end == text.size()) {
                return FailAtLine(number, kUnclosedText, table, error);
            }
        } else if (const std::string fault = TakeHeaderLine(line, state); !fault.empty()) {
            return FailAtLine(number, fault, table, error);
        }
    }
    if (state.inText) {
        return FailAtLine(number, kUnclosedText, table, error);
    }
    return true;
}

}  // namespace vzrm::formats
