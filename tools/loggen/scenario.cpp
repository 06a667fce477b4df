#include "tools/loggen/scenario.h"

#include <cstdlib>
#include <map>
#include <stdexcept>
#include <variant>

#include "base/wide_text.h"
#include "platform/calendar.h"

namespace vzrm::loggen {
namespace {

using JsonValue = std::variant<std::string, double, bool, std::nullptr_t>;

// A flat JSON object: string, number, boolean and null values.
class FlatJson {
  public:
    explicit FlatJson(const std::string& text) : text_(text) {}

    std::map<std::string, JsonValue> Parse() {
        std::map<std::string, JsonValue> fields;
        Expect('{');
        if (Peek() == '}') {
            ++at_;
        } else {
            for (;;) {
                std::string key = String();
                Expect(':');
                fields[key] = Value();
                if (Peek() == ',') {
                    ++at_;
                    continue;
                }
                Expect('}');
                break;
            }
        }
        if (Peek() != '\0') {
            throw std::runtime_error("text after the object");
        }
        return fields;
    }

  private:
    char Peek() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r')) {
            ++at_;
        }
        return at_ < text_.size() ? text_[at_] : '\0';
    }
    void Expect(char c) {
        if (Peek() != c) {
            throw std::runtime_error(std::string("expected '") + c + "'");
        }
        ++at_;
    }
    JsonValue Value() {
        const char c = Peek();
        if (c == '"') {
            return String();
        }
        if (text_.compare(at_, 4, "true") == 0) {
            at_ += 4;
            return true;
        }
        if (text_.compare(at_, 5, "false") == 0) {
            at_ += 5;
            return false;
        }
        if (text_.compare(at_, 4, "null") == 0) {
            at_ += 4;
            return nullptr;
        }
        const char* begin = text_.c_str() + at_;
        char* end = nullptr;
        const double number = std::strtod(begin, &end);
        if (end == begin) {
            throw std::runtime_error(
                "expected a value (objects and arrays are not scenario fields)");
        }
        at_ += static_cast<std::size_t>(end - begin);
        return number;
    }
    std::string String() {
        Expect('"');
        std::string out;
        while (at_ < text_.size() && text_[at_] != '"') {
            char c = text_[at_++];
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (at_ >= text_.size()) {
                break;
            }
            c = text_[at_++];
            switch (c) {
                case 'n':
                    out.push_back('\n');
                    break;
                case 'r':
                    out.push_back('\r');
                    break;
                case 't':
                    out.push_back('\t');
                    break;
                case 'b':
                    out.push_back('\b');
                    break;
                case 'f':
                    out.push_back('\f');
                    break;
                case 'u': {
                    char32_t code = Hex4();
                    if (code >= 0xD800 && code <= 0xDBFF && text_.compare(at_, 2, "\\u") == 0) {
                        at_ += 2;
                        code = 0x10000 + ((code - 0xD800) << 10) + (Hex4() - 0xDC00);
                    }
                    AppendUtf8(out, code);
                    break;
                }
                default:
                    out.push_back(c);
                    break;  // \" \\ \/
            }
        }
        Expect('"');
        return out;
    }
    char32_t Hex4() {
        if (at_ + 4 > text_.size()) {
            throw std::runtime_error("short \\u escape");
        }
        const char32_t code = static_cast<char32_t>(std::stoul(text_.substr(at_, 4), nullptr, 16));
        at_ += 4;
        return code;
    }

    const std::string& text_;
    std::size_t at_ = 0;
};

std::uint64_t NumberField(const JsonValue& value, const char* name) {
    if (const auto* number = std::get_if<double>(&value)) {
        if (*number < 0) {
            throw std::runtime_error(std::string(name) + " must not be negative");
        }
        return static_cast<std::uint64_t>(*number);
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
        char* end = nullptr;
        const std::uint64_t number = std::strtoull(text->c_str(), &end, 0);
        if (!text->empty() && *end == '\0') {
            return number;
        }
    }
    throw std::runtime_error(std::string(name) +
                             " must be a number or a hex text such as \"0x1a4\"");
}

std::string TextField(const JsonValue& value, const char* name) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        return *text;
    }
    throw std::runtime_error(std::string(name) + " must be a text");
}

}  // namespace

bool ParseUtcTime(const std::string& text, std::uint64_t& fileTime) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &y, &mo, &d, &h, &mi, &s, &used) !=
            6 ||
        mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) {
        return false;
    }
    std::uint64_t fraction = 0;
    std::size_t at = static_cast<std::size_t>(used);
    if (at < text.size() && text[at] == '.') {
        int digits = 0;
        for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
            if (digits++ < 7) {
                fraction = fraction * 10 + static_cast<std::uint64_t>(text[at] - '0');
            }
        }
        for (; digits < 7; ++digits) {
            fraction *= 10;
        }
    }
    if (at < text.size() && text[at] == 'Z') {
        ++at;
    }
    if (at != text.size()) {
        return false;
    }
    const std::int64_t instant =
        platform::DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 +
        h * 3600 + mi * 60 + s;
    if (instant < -platform::kFileTimeEpochOffsetSeconds) {
        return false;
    }
    fileTime = static_cast<std::uint64_t>(platform::FileTimeFromInstant(instant)) + fraction;
    return true;
}

std::string AccessCodes(std::uint32_t mask, const char* separator) {
    static const std::pair<std::uint32_t, const char*> kCodes[] = {
        {0x1, "%%4416"},     {0x2, "%%4417"},      {0x4, "%%4418"},      {0x8, "%%4419"},
        {0x10, "%%4420"},    {0x20, "%%4421"},     {0x40, "%%4422"},     {0x80, "%%4423"},
        {0x100, "%%4424"},   {0x10000, "%%1537"},  {0x20000, "%%1538"},  {0x40000, "%%1539"},
        {0x80000, "%%1540"}, {0x100000, "%%1541"}, {0x1000000, "%%1542"}};
    std::string codes;
    for (const auto& [bit, code] : kCodes) {
        if (mask & bit) {
            codes += (codes.empty() ? "" : separator) + std::string(code);
        }
    }
    return codes.empty() ? "-" : codes;
}

std::optional<ScenarioEvent> ScenarioReader::Next() {
    std::string line;
    while (std::getline(in_, line)) {
        ++line_;
        if (line.find_first_not_of(" \t\r") == std::string::npos) {
            continue;
        }
        try {
            const auto fields = FlatJson(line).Parse();
            ScenarioEvent e;
            if (!fields.count("id") || !fields.count("time")) {
                throw std::runtime_error("\"id\" and \"time\" are required");
            }
            e.id = static_cast<std::uint32_t>(NumberField(fields.at("id"), "id"));
            if (!ParseUtcTime(TextField(fields.at("time"), "time"), e.fileTime)) {
                throw std::runtime_error(
                    "time must be UTC ISO 8601, e.g. 2026-03-14T08:05:33.250Z");
            }
            e.record = fields.count("record") ? NumberField(fields.at("record"), "record")
                                              : lastRecord_ + 1;
            lastRecord_ = e.record;
            for (const auto& [key, value] : fields) {
                if (key == "computer")
                    e.computer = TextField(value, "computer");
                else if (key == "provider")
                    e.provider = TextField(value, "provider");
                else if (key == "user")
                    e.user = TextField(value, "user");
                else if (key == "domain")
                    e.domain = TextField(value, "domain");
                else if (key == "sid")
                    e.sid = TextField(value, "sid");
                else if (key == "logon")
                    e.logon = NumberField(value, "logon");
                else if (key == "handle")
                    e.handle = NumberField(value, "handle");
                else if (key == "pid")
                    e.pid = NumberField(value, "pid");
                else if (key == "process")
                    e.process = TextField(value, "process");
                else if (key == "object")
                    e.object = TextField(value, "object");
                else if (key == "type")
                    e.type = TextField(value, "type");
                else if (key == "server")
                    e.server = TextField(value, "server");
                else if (key == "mask")
                    e.mask = static_cast<std::uint32_t>(NumberField(value, "mask"));
                else if (key == "access")
                    e.access = TextField(value, "access");
                else if (key == "task")
                    e.task = static_cast<std::uint16_t>(NumberField(value, "task"));
                else if (key == "pointer") {
                    const std::uint64_t width = NumberField(value, "pointer");
                    if (width != 0 && width != 4 && width != 8) {
                        throw std::runtime_error("pointer must be 0, 4 or 8");
                    }
                    e.pointer = static_cast<std::uint8_t>(width);
                } else if (key == "outcome") {
                    const std::string outcome = TextField(value, "outcome");
                    if (outcome != "success" && outcome != "failure") {
                        throw std::runtime_error("outcome must be \"success\" or \"failure\"");
                    }
                    e.success = outcome == "success";
                }
            }
            if (!fields.count("mask")) {
                e.mask = e.id == 4663 || e.id == 567   ? 0x1
                         : e.id == 4656 || e.id == 560 ? 0x120089
                                                       : 0;
            }
            if (e.access.empty()) {
                e.access = AccessCodes(e.mask, " ");
            }
            return e;
        } catch (const std::exception& error) {
            throw std::runtime_error("line " + std::to_string(line_) + ": " + error.what());
        }
    }
    return std::nullopt;
}

}  // namespace vzrm::loggen
