#include "formats/binxml_value_text.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "base/wide_text.h"
#include "formats/byte_reader.h"
#include "platform/calendar.h"

namespace vzrm::formats {

using namespace platform;
namespace {

void AppendUtf16(const std::uint8_t* data, std::size_t bytes, std::string& out) {
    std::size_t units = bytes / 2;
    while (units > 0 && data[2 * units - 2] == 0 && data[2 * units - 1] == 0) {
        --units;
    }
    AppendNarrowOfUtf16Le(data, units, out);
}

void AppendNumber(std::uint64_t value, int base, std::string& out) {
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), value, base).ptr;
    out.append(digits, end);
}

void AppendDecimal(std::uint64_t value, std::string& out) {
    AppendNumber(value, 10, out);
}

std::string GuidText(const std::uint8_t* d) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  LoadLe<std::uint32_t>(d), LoadLe<std::uint16_t>(d + 4),
                  LoadLe<std::uint16_t>(d + 6), d[8], d[9], d[10], d[11], d[12], d[13], d[14],
                  d[15]);
    return buffer;
}

std::string SystemTimeText(const std::uint8_t* d) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ",
                  LoadLe<std::uint16_t>(d), LoadLe<std::uint16_t>(d + 2),
                  LoadLe<std::uint16_t>(d + 6), LoadLe<std::uint16_t>(d + 8),
                  LoadLe<std::uint16_t>(d + 10), LoadLe<std::uint16_t>(d + 12),
                  LoadLe<std::uint16_t>(d + 14));
    return buffer;
}

std::size_t FixedSize(std::uint8_t type) {
    switch (type) {
        case kBxInt8:
        case kBxUInt8:
            return 1;
        case kBxInt16:
        case kBxUInt16:
            return 2;
        case kBxInt32:
        case kBxUInt32:
        case kBxHexInt32:
        case kBxReal32:
        case kBxBool:
            return 4;
        case kBxInt64:
        case kBxUInt64:
        case kBxHexInt64:
        case kBxReal64:
        case kBxFileTime:
            return 8;
        case kBxGuid:
        case kBxSysTime:
            return 16;
        default:
            return 0;
    }
}

}  // namespace

namespace {

void AppendSidText(const std::uint8_t* data, std::size_t size, bool asFarAsItGoes,
                   std::string& out) {
    // Only revision 1 names an account; for display, any revision is shown
    // as it is (a zeroed SID reads "S-0-0").
    if (size < 8 || (data[0] != 1 && !asFarAsItGoes) ||
        (size < 8u + 4u * data[1] && !asFarAsItGoes)) {
        return;
    }
    std::uint64_t authority = 0;
    for (int i = 2; i < 8; ++i) {
        authority = authority << 8 | data[i];
    }
    out += "S-";
    AppendDecimal(data[0], out);
    out += '-';
    AppendDecimal(authority, out);
    const std::size_t count = std::min<std::size_t>(data[1], (size - 8) / 4);
    for (std::size_t i = 0; i < count; ++i) {
        out += '-';
        AppendDecimal(LoadLe<std::uint32_t>(data + 8 + 4 * i), out);
    }
}

}  // namespace

std::string SidText(const std::uint8_t* data, std::size_t size, bool asFarAsItGoes) {
    std::string text;
    AppendSidText(data, size, asFarAsItGoes, text);
    return text;
}

bool SidFromText(std::string_view text, std::vector<std::uint8_t>& sid) {
    if (!text.starts_with("S-1-")) {
        return false;
    }
    std::vector<std::uint64_t> parts;
    for (std::size_t at = 4; at <= text.size();) {
        const std::size_t dash = std::min(text.find('-', at), text.size());
        std::uint64_t part = 0;
        if (dash == at) {
            return false;
        }
        for (std::size_t i = at; i < dash; ++i) {
            if (text[i] < '0' || text[i] > '9' || part > 0xFFFFFFFFFFFFull) {
                return false;
            }
            part = part * 10 + static_cast<std::uint64_t>(text[i] - '0');
        }
        parts.push_back(part);
        at = dash + 1;
    }
    if (parts.size() > 16 || parts[0] > 0xFFFFFFFFFFFFull) {
        return false;
    }
    sid.assign(8, 0);
    sid[0] = 1;
    sid[1] = static_cast<std::uint8_t>(parts.size() - 1);
    for (int i = 0; i < 6; ++i) {
        sid[2 + i] = static_cast<std::uint8_t>(parts[0] >> (8 * (5 - i)));
    }
    for (std::size_t i = 1; i < parts.size(); ++i) {
        for (int b = 0; b < 4; ++b) {
            sid.push_back(static_cast<std::uint8_t>(parts[i] >> (8 * b)));
        }
    }
    return true;
}

std::string FileTimeText(std::uint64_t fileTime) {
    const auto seconds =
        static_cast<std::int64_t>(fileTime / kFileTimeTicksPerSecond) - kFileTimeEpochOffsetSeconds;
    const CalendarFields f = UtcFieldsOfInstant(seconds);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%07lluZ", f.year, f.month,
                  f.day, f.hour, f.minute, f.second,
                  static_cast<unsigned long long>(fileTime % kFileTimeTicksPerSecond));
    return buffer;
}

std::vector<BxValue> ArrayElements(const BxValue& value) {
    if (!(value.type & kBxArray) || value.data == nullptr) {
        return {value};
    }
    const auto base = static_cast<std::uint8_t>(value.type & ~kBxArray);
    std::vector<BxValue> elements;
    if (base == kBxString) {
        std::uint32_t from = 0;
        for (std::uint32_t at = 0; at + 1 < value.size; at += 2) {
            if (value.data[at] == 0 && value.data[at + 1] == 0) {
                elements.push_back({kBxString, value.data + from, at - from});
                from = at + 2;
            }
        }
        if (from + 1 < value.size) {
            elements.push_back({kBxString, value.data + from, (value.size - from) & ~1u});
        }
        return elements;
    }
    const std::size_t size = FixedSize(base);
    for (std::size_t at = 0; size != 0 && at + size <= value.size; at += size) {
        elements.push_back({base, value.data + at, static_cast<std::uint32_t>(size)});
    }
    return elements;
}

bool SizeTWellSized(const BxValue& value) {
    return value.type == kBxSizeT && (value.size == 4 || value.size == 8);
}

std::optional<std::uint64_t> BxValueNumber(const BxValue& value) {
    if (value.type == kBxSizeT) {
        // Pointer-sized: 4 bytes on a 32-bit system, 8 on a 64-bit one.
        if (!SizeTWellSized(value) || value.data == nullptr) {
            return std::nullopt;
        }
        return value.size == 4 ? LoadLe<std::uint32_t>(value.data)
                               : LoadLe<std::uint64_t>(value.data);
    }
    const std::size_t size = FixedSize(value.type);
    if (size == 0 || value.size < size || value.type == kBxReal32 || value.type == kBxReal64 ||
        value.type == kBxGuid || value.type == kBxSysTime) {
        return std::nullopt;
    }
    switch (value.type) {
        case kBxInt8:
            return static_cast<std::uint64_t>(static_cast<std::int8_t>(value.data[0]));
        case kBxInt16:
            return static_cast<std::uint64_t>(LoadLe<std::int16_t>(value.data));
        case kBxInt32:
            return static_cast<std::uint64_t>(LoadLe<std::int32_t>(value.data));
        default:
            break;
    }
    switch (size) {
        case 1:
            return value.data[0];
        case 2:
            return LoadLe<std::uint16_t>(value.data);
        case 4:
            return LoadLe<std::uint32_t>(value.data);
        default:
            return LoadLe<std::uint64_t>(value.data);
    }
}

namespace {

// The items of an array, comma-separated: strings are zero-separated, fixed
// types are back to back.
void AppendArrayText(const BxValue& value, std::uint8_t base, std::string& out) {
    if (base == kBxString) {
        const std::size_t from = out.size();
        AppendUtf16(value.data, value.size, out);
        std::replace(out.begin() + static_cast<std::ptrdiff_t>(from), out.end(), '\0', ',');
        return;
    }
    const std::size_t size = FixedSize(base);
    for (std::size_t at = 0; size && at + size <= value.size; at += size) {
        if (at != 0) {
            out += ',';
        }
        AppendBxValueText({base, value.data + at, static_cast<std::uint32_t>(size)}, out);
    }
}

std::string BinaryText(const BxValue& value) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint32_t i = 0; i < value.size; ++i) {
        text.push_back(kDigits[value.data[i] >> 4]);
        text.push_back(kDigits[value.data[i] & 15]);
    }
    return text;
}

}  // namespace

int BxValueTextFirstByte(const BxValue& value) {
    const std::uint8_t base = value.type & static_cast<std::uint8_t>(~kBxArray);
    const bool quick =
        value.data != nullptr && (value.type & kBxArray) == 0 && FixedSize(base) <= value.size;
    if (quick) {
        switch (base) {
            case kBxString: {
                std::size_t units = value.size / 2;
                while (units > 0 && value.data[2 * units - 2] == 0 &&
                       value.data[2 * units - 1] == 0) {
                    --units;
                }
                if (units == 0) {
                    return -1;
                }
                if (value.data[1] == 0 && value.data[0] < 0x80) {
                    return value.data[0];
                }
                break;  // the first character's UTF-8
            }
            case kBxHexInt32:
            case kBxHexInt64:
                return '0';
            case kBxSizeT:
                return SizeTWellSized(value) ? '0' : -1;
            case kBxGuid:
                return '{';
            case kBxSid:
                return value.size >= 8 ? 'S' : -1;
            default:
                break;
        }
    }
    std::string text;
    AppendBxValueText(value, text);
    return text.empty() ? -1 : static_cast<unsigned char>(text[0]);
}

std::string BxValueText(const BxValue& value) {
    std::string text;
    AppendBxValueText(value, text);
    return text;
}

void AppendBxValueText(const BxValue& value, std::string& out) {
    if (value.data == nullptr && value.type != kBxNull) {
        return;
    }
    const std::uint8_t base = value.type & static_cast<std::uint8_t>(~kBxArray);
    if (value.type & kBxArray) {
        AppendArrayText(value, base, out);
        return;
    }
    if (FixedSize(base) > value.size) {
        return;
    }
    switch (base) {
        case kBxNull:
            return;
        case kBxString:
            AppendUtf16(value.data, value.size, out);
            return;
        case kBxAnsiString: {
            const std::string_view text(reinterpret_cast<const char*>(value.data), value.size);
            out += text.substr(0, text.find('\0'));
            return;
        }
        case kBxInt8:
        case kBxInt16:
        case kBxInt32:
        case kBxInt64:
            out += std::to_string(static_cast<std::int64_t>(*BxValueNumber(value)));
            return;
        case kBxUInt8:
        case kBxUInt16:
        case kBxUInt32:
        case kBxUInt64:
            AppendDecimal(BxValueNumber(value).value_or(0), out);
            return;
        case kBxSizeT:
            // Windows shows a pointer in hexadecimal, as it shows a HexInt64;
            // a size that is no pointer's has no number to show.
            if (SizeTWellSized(value)) {
                out += "0x";
                AppendNumber(*BxValueNumber(value), 16, out);
            }
            return;
        case kBxHexInt32:
        case kBxHexInt64:
            out += "0x";
            AppendNumber(*BxValueNumber(value), 16, out);
            return;
        case kBxBool:
            out += LoadLe<std::uint32_t>(value.data) ? "true" : "false";
            return;
        case kBxReal32: {
            float f;
            std::memcpy(&f, value.data, 4);
            out += std::to_string(f);
            return;
        }
        case kBxReal64: {
            double d;
            std::memcpy(&d, value.data, 8);
            out += std::to_string(d);
            return;
        }
        case kBxGuid:
            out += GuidText(value.data);
            return;
        case kBxFileTime:
            out += FileTimeText(LoadLe<std::uint64_t>(value.data));
            return;
        case kBxSysTime:
            out += SystemTimeText(value.data);
            return;
        case kBxSid:
            AppendSidText(value.data, value.size, /*asFarAsItGoes=*/true, out);
            return;
        case kBxBinary:
        default:
            out += BinaryText(value);
            return;
    }
}

}  // namespace vzrm::formats
