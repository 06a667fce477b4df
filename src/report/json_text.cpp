#include "report/json_text.h"

#include <cstdio>

#include "base/wide_text.h"

namespace vzrm {

std::string JsonString(std::string_view text) {
    const std::string valid = WideToNarrow(NarrowToWide(text));
    std::string out = "\"";
    out.reserve(valid.size() + 2);
    for (const char c : valid) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

CJsonObject& CJsonObject::Json(std::string_view name, std::string_view json) {
    if (!members_.empty()) {
        members_ += ',';
    }
    members_ += JsonString(name);
    members_ += ':';
    members_ += json;
    return *this;
}

CJsonObject& CJsonObject::Text(std::string_view name, std::string_view value) {
    return Json(name, JsonString(value));
}

CJsonObject& CJsonObject::Number(std::string_view name, std::uint64_t value) {
    return Json(name, std::to_string(value));
}

}  // namespace vzrm
