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

}  // namespace

bool ReadPeMessageTable(std::span<const std::uint8_t> file, MessageTable& table,
                        std::string& error) {
    table.clear();
    const Bytes b(file);
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
    std::vector<Section> sections;
    for (std::uint64_t i = 0, at = optional + optionalSize; i < sectionCount && b.Has(at, 40);
         ++i, at += 40) {
        sections.push_back({b.U32(at + 12), b.U32(at + 8), b.U32(at + 20), b.U32(at + 16)});
    }
    auto offsetOf = [&](std::uint32_t rva, std::uint64_t& offset) {
        for (const Section& s : sections) {
            const std::uint32_t span = std::max(s.size, s.rawSize);
            if (rva >= s.address && rva - s.address < span) {
                offset = static_cast<std::uint64_t>(s.raw) + (rva - s.address);
                return true;
            }
        }
        return false;
    };
    std::uint64_t root = 0;
    if (resourceRva == 0 || !offsetOf(resourceRva, root)) {
        error = "PE file without resources";
        return false;
    }
    // One step down the resource tree: the entry with `id`, or any when id is 0xFFFFFFFF.
    auto child = [&](std::uint64_t directory, std::uint32_t id, std::uint32_t preferred,
                     std::uint32_t& offset) {
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
    };
    std::uint32_t typeEntry = 0, nameEntry = 0, languageEntry = 0;
    if (!child(root, kResourceMessageTable, kResourceMessageTable, typeEntry) ||
        !(typeEntry & 0x80000000u) ||
        !child(root + (typeEntry & 0x7FFFFFFF), 0xFFFFFFFF, 1, nameEntry) ||
        !(nameEntry & 0x80000000u) ||
        !child(root + (nameEntry & 0x7FFFFFFF), 0xFFFFFFFF, kEnglish, languageEntry) ||
        (languageEntry & 0x80000000u)) {
        error = "PE file without a message table";
        return false;
    }
    const std::uint64_t leaf = root + languageEntry;
    std::uint64_t data = 0;
    const std::uint32_t dataSize = b.U32(leaf + 4);
    if (!b.Has(leaf, 16) || !offsetOf(b.U32(leaf), data) || !b.Has(data, dataSize)) {
        error = "message table outside the file";
        return false;
    }
    const Bytes m(file.subspan(data, dataSize));
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
    return true;
}

bool ReadMcMessages(std::string_view text, MessageTable& table, std::string& error) {
    table.clear();
    std::uint32_t id = 0;
    bool haveId = false;
    std::uint32_t severity = 0;
    std::uint32_t facility = 0;
    std::size_t number = 0;
    bool inText = false;
    bool firstLanguage = true;
    std::string message;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string line(text.substr(at, end - at));
        at = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(number) + ": " + why;
            table.clear();
            return false;
        };
        if (inText) {
            if (line == ".") {
                const std::uint32_t full =
                    severity << 30 | (facility & 0xFFF) << 16 | (id & 0xFFFF);
                if (firstLanguage) {
                    table[full] = message;
                }
                firstLanguage = false;
                inText = false;
                message.clear();
            } else {
                message += line + "\r\n";
            }
            if (end == text.size()) {
                return fail("message text without its closing \".\"");
            }
            continue;
        }
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == ';') {
            if (end == text.size()) {
                break;
            }
            continue;
        }
        const std::size_t equals = trimmed.find('=');
        if (equals == std::string::npos) {
            return fail("expected Name=value");
        }
        const std::string key = FoldCase(Trim(trimmed.substr(0, equals)));
        const std::string value = Trim(trimmed.substr(equals + 1));
        if (key == "messageid") {
            if (value.empty() || value[0] == '+') {
                std::uint32_t step = 1;
                if (value.size() > 1 && !ParseNumber(value.substr(1), step)) {
                    return fail("MessageId=+N takes a number");
                }
                id = haveId ? id + step : 0;
            } else if (!ParseNumber(value, id)) {
                return fail("MessageId takes a number");
            }
            haveId = true;
            firstLanguage = true;
            severity = facility = 0;
        } else if (key == "severity") {
            const std::string name = FoldCase(value);
            severity = name == "success"         ? 0
                       : name == "informational" ? 1
                       : name == "warning"       ? 2
                       : name == "error"         ? 3
                                                 : 4;
            if (severity == 4) {
                return fail("unknown severity " + value);
            }
        } else if (key == "facility") {
            const std::string name = FoldCase(value);
            if (name == "system") {
                facility = 0x0FF;
            } else if (name == "application") {
                facility = 0xFFF;
            } else if (!ParseNumber(value, facility)) {
                return fail("unknown facility " + value);
            }
        } else if (key == "language") {
            if (!haveId) {
                return fail("Language= before any MessageId=");
            }
            inText = true;
        }
        // SymbolicName, OutputBase and the *Names and Typedef headers change nothing here.
        if (end == text.size()) {
            break;
        }
    }
    if (inText) {
        error = "line " + std::to_string(number) + ": message text without its closing \".\"";
        table.clear();
        return false;
    }
    return true;
}

}  // namespace vzrm::formats
