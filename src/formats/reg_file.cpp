#include "formats/reg_file.h"

#include <cstdio>

#include "base/case_fold.h"
#include "base/wide_text.h"
#include "platform/error_codes.h"
#include "platform/services.h"

namespace vzrm::formats {
namespace {

using namespace platform;

constexpr char kHeader5[] = "Windows Registry Editor Version 5.00";
constexpr char kHeader4[] = "REGEDIT4";

std::string DecodeText(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        std::u16string wide((bytes.size() - 2) / 2, u'\0');
        for (std::size_t i = 0; i < wide.size(); ++i) {
            wide[i] = static_cast<char16_t>(bytes[2 + 2 * i] | bytes[3 + 2 * i] << 8);
        }
        return WideToNarrow(wide);
    }
    std::string text(bytes.begin(), bytes.end());
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
        text.erase(0, 3);
    }
    return text;
}

std::string Trim(const std::string& s) {
    const std::size_t begin = s.find_first_not_of(" \t\r");
    const std::size_t end = s.find_last_not_of(" \t\r");
    return begin == std::string::npos ? std::string() : s.substr(begin, end - begin + 1);
}

struct LogicalLine {
    std::string text;
    std::size_t number;
};

// Lines with their continuations ("\" at the end, as regedit splits long
// hex values) joined, each with the number of its first line.
std::vector<LogicalLine> LogicalLines(const std::string& text) {
    std::vector<LogicalLine> lines;
    std::string pending;
    std::size_t pendingStart = 0;
    std::size_t number = 0;
    for (std::size_t at = 0; at < text.size() || (at == text.size() && number == 0);) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (pending.empty()) {
            pendingStart = number;
        } else {
            line = Trim(line);
        }
        const std::size_t last = line.find_last_not_of(" \t");
        if (last != std::string::npos && line[last] == '\\') {
            pending += line.substr(0, last);
            continue;
        }
        lines.push_back({pending + line, pendingStart});
        pending.clear();
    }
    if (!pending.empty()) {
        lines.push_back({pending, pendingStart});
    }
    return lines;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ParseHexBytes(const std::string& text, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    const std::string s = Trim(text);
    if (s.empty()) {
        return true;
    }
    for (std::size_t at = 0; at <= s.size();) {
        const std::size_t comma = std::min(s.find(',', at), s.size());
        const std::string token = Trim(s.substr(at, comma - at));
        if (token.size() != 2 || HexValue(token[0]) < 0 || HexValue(token[1]) < 0) {
            return false;
        }
        bytes.push_back(static_cast<std::uint8_t>(HexValue(token[0]) * 16 + HexValue(token[1])));
        at = comma + 1;
    }
    return true;
}

// A quoted text from `at` (at the opening quote); `at` moves past the closing one.
bool ParseQuoted(const std::string& s, std::size_t& at, std::string& out) {
    if (at >= s.size() || s[at] != '"') {
        return false;
    }
    out.clear();
    for (++at; at < s.size(); ++at) {
        if (s[at] == '\\' && at + 1 < s.size()) {
            out.push_back(s[++at]);
        } else if (s[at] == '"') {
            ++at;
            return true;
        } else {
            out.push_back(s[at]);
        }
    }
    return false;
}

// UTF-16 LE bytes of hex(2)/hex(7) values as the store's narrow form.
std::vector<std::uint8_t> NarrowFromUtf16(const std::vector<std::uint8_t>& bytes) {
    std::u16string wide(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        wide[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    const std::string narrow = WideToNarrow(wide);
    return {narrow.begin(), narrow.end()};
}

std::vector<std::uint8_t> Utf16FromNarrow(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> out;
    for (char16_t unit : NarrowToWide(std::string(bytes.begin(), bytes.end()))) {
        out.push_back(static_cast<std::uint8_t>(unit));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return out;
}

// dword:XXXXXXXX, up to eight hex digits.
bool ParseDwordValue(const std::string& data, REG_FILE_CHANGE& change, std::string& why) {
    const std::string digits = Trim(data.substr(6));
    if (digits.empty() || digits.size() > 8) {
        why = "dword: takes up to eight hex digits";
        return false;
    }
    std::uint32_t value = 0;
    for (char c : digits) {
        if (HexValue(c) < 0) {
            why = "dword: takes up to eight hex digits";
            return false;
        }
        value = value << 4 | static_cast<std::uint32_t>(HexValue(c));
    }
    change.type = REG_DWORD;
    change.data = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                   static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return true;
}

// hex:bytes or hex(N):bytes, N the value's type.
bool ParseHexValue(const std::string& data, REG_FILE_CHANGE& change, std::string& why) {
    std::size_t colon = data.find(':');
    if (colon == std::string::npos) {
        why = "hex values are written hex:, or hex(N):";
        return false;
    }
    change.type = REG_BINARY;
    const std::string kind = data.substr(3, colon - 3);
    if (!kind.empty()) {
        if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')') {
            why = "hex values are written hex:, or hex(N):";
            return false;
        }
        char* end = nullptr;
        const std::string number = kind.substr(1, kind.size() - 2);
        change.type = static_cast<std::uint32_t>(std::strtoul(number.c_str(), &end, 16));
        if (number.empty() || *end != '\0') {
            why = "hex(N): takes a hex type number";
            return false;
        }
    }
    std::vector<std::uint8_t> bytes;
    if (!ParseHexBytes(data.substr(colon + 1), bytes)) {
        why = "hex data must be two-digit hex bytes separated by commas";
        return false;
    }
    const bool text = change.type == REG_EXPAND_SZ || change.type == REG_MULTI_SZ;
    change.data = text ? NarrowFromUtf16(bytes) : bytes;
    return true;
}

bool ParseValue(const std::string& data, REG_FILE_CHANGE& change, std::string& why) {
    if (data == "-") {
        change.kind = REG_FILE_CHANGE::Kind::deleteValue;
        return true;
    }
    change.kind = REG_FILE_CHANGE::Kind::setValue;
    if (!data.empty() && data[0] == '"') {
        std::size_t at = 0;
        std::string text;
        if (!ParseQuoted(data, at, text) || !Trim(data.substr(at)).empty()) {
            why = "a text value must be one quoted text";
            return false;
        }
        change.type = REG_SZ;
        change.data.assign(text.begin(), text.end());
        change.data.push_back(0);
        return true;
    }
    if (data.rfind("dword:", 0) == 0) {
        return ParseDwordValue(data, change, why);
    }
    if (data.rfind("hex", 0) == 0) {
        return ParseHexValue(data, change, why);
    }
    why = "unknown value form (expected \"text\", dword:, hex:, hex(N): or -)";
    return false;
}

std::string HexLine(const std::string& head, const std::vector<std::uint8_t>& bytes) {
    std::string line = head;
    std::size_t column = line.size();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
        line += hex;
        column += 2;
        if (i + 1 < bytes.size()) {
            line += ",";
            ++column;
            if (column > 76) {
                line += "\\\r\n  ";
                column = 2;
            }
        }
    }
    return line;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    return out;
}

}  // namespace

std::int32_t ListSubkeysAndClose(HKEY key, std::int32_t listed, std::vector<std::string>& subkeys) {
    std::string name;
    if (listed == kErrorNoMoreItems) {
        for (std::uint32_t i = 0; (listed = Registry().EnumKey(key, i, name)) == kErrorSuccess;
             ++i) {
            subkeys.push_back(name);
        }
    }
    Registry().CloseKey(key);
    // Only the end of a list ends it: a damaged store is an error, not an empty key.
    return listed == kErrorNoMoreItems ? kErrorSuccess : listed;
}

namespace {

std::int32_t ExportKey(HKEY root, const std::string& path, std::string& text) {
    HKEY key = 0;
    if (const std::int32_t error = Registry().OpenKey(root, path, KEY_READ, key)) {
        return error;
    }
    text += "[" + RegistryRootFullName(root) + (path.empty() ? "" : "\\" + path) + "]\r\n";
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    std::int32_t listed = kErrorSuccess;
    for (std::uint32_t i = 0;
         (listed = Registry().EnumValue(key, i, name, type, data)) == kErrorSuccess; ++i) {
        const std::string head = name.empty() ? "@=" : "\"" + Escape(name) + "\"=";
        if (type == REG_SZ) {
            const std::string value(data.begin(), data.end());
            text += head + "\"" + Escape(value.substr(0, value.find('\0'))) + "\"\r\n";
        } else if (type == REG_DWORD && data.size() == 4) {
            char hex[16];
            std::snprintf(
                hex, sizeof hex, "dword:%08x",
                data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24);
            text += head + hex + "\r\n";
        } else if (type == REG_BINARY) {
            text += HexLine(head + "hex:", data) + "\r\n";
        } else {
            char kind[16];
            std::snprintf(kind, sizeof kind, "hex(%x):", type);
            const bool isText = type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
            text += HexLine(head + kind, isText ? Utf16FromNarrow(data) : data) + "\r\n";
        }
    }
    text += "\r\n";
    std::vector<std::string> subkeys;
    if (const std::int32_t error = ListSubkeysAndClose(key, listed, subkeys)) {
        return error;
    }
    for (const std::string& sub : subkeys) {
        if (const std::int32_t error =
                ExportKey(root, path.empty() ? sub : path + "\\" + sub, text)) {
            return error;
        }
    }
    return kErrorSuccess;
}

}  // namespace

bool SplitKeyName(const std::string& name, HKEY& root, std::string& path) {
    const std::size_t slash = name.find('\\');
    const std::string head = FoldCase(name.substr(0, slash));
    path = slash == std::string::npos ? std::string() : name.substr(slash + 1);
    while (!path.empty() && path.back() == '\\') {
        path.pop_back();
    }
    if (head == "hkey_local_machine" || head == "hklm") {
        root = HKEY_LOCAL_MACHINE;
        return true;
    }
    if (head == "hkey_current_user" || head == "hkcu") {
        root = HKEY_CURRENT_USER;
        return true;
    }
    return false;
}

namespace {

// A [key] or [-key] line: the key it creates or deletes, which later values go under.
bool ParseKeyLine(const std::string& line, HKEY& root, std::string& path, REG_FILE_CHANGE& change,
                  std::string& why) {
    if (line.back() != ']') {
        why = "a key name must end with ']'";
        return false;
    }
    const bool remove = line.size() > 2 && line[1] == '-';
    const std::string name = line.substr(remove ? 2 : 1, line.size() - (remove ? 3 : 2));
    if (!SplitKeyName(name, root, path)) {
        why = "unknown root in [" + name + "] (HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER)";
        return false;
    }
    if (remove && path.empty()) {
        why = "a whole hive cannot be deleted";
        return false;
    }
    change.kind = remove ? REG_FILE_CHANGE::Kind::deleteKey : REG_FILE_CHANGE::Kind::createKey;
    change.root = root;
    change.path = path;
    return true;
}

// A "name"=value or @=value line; `change` holds its key already.
bool ParseValueLine(const std::string& line, REG_FILE_CHANGE& change, std::string& why) {
    std::size_t at = 0;
    if (line[0] == '@') {
        at = 1;
    } else if (!ParseQuoted(line, at, change.name)) {
        why = "expected \"name\"= or @=";
        return false;
    }
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) {
        ++at;
    }
    if (at >= line.size() || line[at] != '=') {
        why = "expected '=' after the value name";
        return false;
    }
    return ParseValue(Trim(line.substr(at + 1)), change, why);
}

}  // namespace

bool ParseRegFile(const std::vector<std::uint8_t>& bytes, std::vector<REG_FILE_CHANGE>& changes,
                  std::string& error) {
    changes.clear();
    const std::vector<LogicalLine> lines = LogicalLines(DecodeText(bytes));
    bool headerSeen = false;
    bool inKey = false;
    HKEY root = 0;
    std::string path;
    for (const LogicalLine& logical : lines) {
        const std::string line = Trim(logical.text);
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(logical.number) + ": " + why;
            changes.clear();
            return false;
        };
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (!headerSeen) {
            if (line != kHeader5 && line != kHeader4) {
                return fail("expected \"Windows Registry Editor Version 5.00\"");
            }
            headerSeen = true;
            continue;
        }
        REG_FILE_CHANGE change;
        std::string why;
        if (line[0] == '[') {
            if (!ParseKeyLine(line, root, path, change, why)) {
                return fail(why);
            }
            inKey = change.kind == REG_FILE_CHANGE::Kind::createKey;
        } else if (!inKey) {
            return fail("a value outside a [key] section");
        } else {
            change.root = root;
            change.path = path;
            if (!ParseValueLine(line, change, why)) {
                return fail(why);
            }
        }
        change.line = logical.number;
        changes.push_back(change);
    }
    if (!headerSeen) {
        error = "line 1: expected \"Windows Registry Editor Version 5.00\"";
        return false;
    }
    return true;
}

std::int32_t ApplyRegFile(const std::vector<REG_FILE_CHANGE>& changes, std::string& error) {
    auto apply = [&]() -> std::int32_t {
        for (const REG_FILE_CHANGE& change : changes) {
            const std::string where = RegistryRootFullName(change.root) + "\\" + change.path;
            std::int32_t result = kErrorSuccess;
            HKEY key = 0;
            switch (change.kind) {
                case REG_FILE_CHANGE::Kind::deleteKey:
                    result = Registry().DeleteTree(change.root, change.path);
                    result = result == kErrorFileNotFound ? kErrorSuccess : result;
                    break;
                case REG_FILE_CHANGE::Kind::createKey:
                    result = Registry().CreateKey(change.root, change.path, KEY_ALL_ACCESS, key);
                    break;
                case REG_FILE_CHANGE::Kind::setValue:
                    result = Registry().CreateKey(change.root, change.path, KEY_ALL_ACCESS, key);
                    if (result == kErrorSuccess) {
                        result =
                            Registry().SetValue(key, change.name, change.type, change.data.data(),
                                                static_cast<std::uint32_t>(change.data.size()));
                    }
                    break;
                case REG_FILE_CHANGE::Kind::deleteValue:
                    result = Registry().OpenKey(change.root, change.path, KEY_ALL_ACCESS, key);
                    if (result == kErrorSuccess) {
                        result = Registry().DeleteValue(key, change.name);
                    }
                    result = result == kErrorFileNotFound ? kErrorSuccess : result;
                    break;
            }
            if (key != 0) {
                Registry().CloseKey(key);
            }
            if (result != kErrorSuccess) {
                error = "line " + std::to_string(change.line) + ": " + where +
                        (change.name.empty() ? "" : " value \"" + change.name + "\"");
                return result;
            }
        }
        return kErrorSuccess;
    };
    // Both hives' transactions are open while the changes are made.
    return Registry().Transaction(HKEY_LOCAL_MACHINE,
                                  [&] { return Registry().Transaction(HKEY_CURRENT_USER, apply); });
}

std::int32_t ExportRegFile(HKEY root, const std::string& path, std::string& text) {
    text = std::string(kHeader5) + "\r\n\r\n";
    return ExportKey(root, path, text);
}

std::vector<std::uint8_t> RegFileBytes(const std::string& text) {
    std::vector<std::uint8_t> bytes = {0xFF, 0xFE};
    for (char16_t unit : NarrowToWide(text)) {
        bytes.push_back(static_cast<std::uint8_t>(unit));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

}  // namespace vzrm::formats
