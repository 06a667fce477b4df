#include "audit/event_fields.h"

#include <algorithm>
#include <iterator>

#include "base/case_fold.h"
#include "formats/message_fields.h"

namespace vzrm {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// "0x" and hex digits. Every digit is read, so a 64-bit wide text
// ("0x0000000000000420") gives its value, not its first eight digits; a value
// wider than 32 bits keeps its low 32 bits.
std::uint32_t ParseHex(std::string_view text) {
    if (!text.starts_with("0x")) {
        return 0;
    }
    std::uint64_t value = 0;
    for (std::size_t i = 2; i < text.size() && HexDigit(text[i]) >= 0; ++i) {
        value = (value << 4) | static_cast<std::uint64_t>(HexDigit(text[i]));
    }
    return static_cast<std::uint32_t>(value);
}

// Leading blanks, a sign and digits, modulo 2^32 as the hexadecimal form is
// read: handle IDs of 2^31 and above stay distinct.
std::uint32_t ParseDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i++] == '-';
    }
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    }
    return negative ? 0u - value : value;
}

AUDIT_ACTION ClassifyAccessWords(std::string_view words) {
    auto has = [&](std::string_view word) { return words.find(word) != std::string_view::npos; };
    if (has("WriteData") || has("AppendData")) {
        return ACTION_WRITE;
    }
    if (has("ReadData")) {
        return ACTION_READ_DATA;
    }
    if (has("DELETE") || has("ReadAttributes")) {
        return ACTION_READ_ATTRIBUTES;
    }
    return ACTION_OTHER_ACCESS;
}

AUDIT_ACTION ClassifyAccessMask(std::uint32_t mask) {
    if (mask & 6) {
        return ACTION_WRITE;
    }
    if (mask & 1) {
        return ACTION_READ_DATA;
    }
    if ((mask & 0x80) || mask == 0x10000) {
        return ACTION_READ_ATTRIBUTES;
    }
    return ACTION_OTHER_ACCESS;
}

}  // namespace

std::span<const std::string_view> EventFieldLabels(bool classicLog) {
    static constexpr std::string_view kModern[] = {kLabelAccountName, kLabelHandleId,
                                                   kLabelProcessId,   kLabelObjectName,
                                                   kLabelProcessName, kLabelAccessMask};
    static constexpr std::string_view kClassic[] = {kLabelAccountName,   kLabelHandleId,
                                                    kLabelProcessId,     kLabelObjectName,
                                                    kLabelImageFileName, kLabelAccessMask};
    static_assert(std::size(kModern) == kEventFieldCount &&
                  std::size(kClassic) == kEventFieldCount);
    return classicLog ? kClassic : kModern;
}

std::string GetEventTextField(std::string_view text, std::string_view label) {
    std::string value;
    formats::FindMessageFields(text, {&label, 1}, {&value, 1});
    return value;
}

std::uint32_t ParseEventNumber(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    return text.find('x') != std::string_view::npos ? ParseHex(text) : ParseDecimal(text);
}

AUDIT_ACTION ClassifyAuditEvent(std::string_view text, std::uint32_t eventId, bool classicLog) {
    const bool access = eventId == (classicLog ? 567u : 4663u);
    return ClassifyAuditAccess(access ? GetEventTextField(text, kLabelAccessMask) : std::string(),
                               eventId, classicLog);
}

AUDIT_ACTION ClassifyAuditAccess(std::string_view accessMask, std::uint32_t eventId,
                                 bool classicLog) {
    if (classicLog) {
        switch (eventId) {
            case 560:
                return ACTION_OPEN;
            case 562:
                return ACTION_CLOSE;
            case 564:
                return ACTION_DELETE;
            case 567:
                return ClassifyAccessWords(accessMask);
            default:
                return ACTION_NONE;
        }
    }
    switch (eventId) {
        case 4656:
            return ACTION_OPEN;
        case 4658:
            return ACTION_CLOSE;
        case 4660:
            return ACTION_DELETE;
        case 4663:
            return ClassifyAccessMask(ParseEventNumber(accessMask));
        default:
            return ACTION_NONE;
    }
}

bool IsRecorderProgram(std::string_view path) {
    const std::size_t slash = path.rfind('\\');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    for (std::string_view recorder :
         {"pramvoxe.exe", "tulbenqa.exe", "soskavir.exe", "gemdorif.exe"}) {
        if (EqualNoCase(name, recorder)) {
            return true;
        }
    }
    return false;
}

}  // namespace vzrm
