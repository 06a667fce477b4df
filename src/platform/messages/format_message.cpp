#include "platform/messages/format_message.h"

#include <cstdio>

namespace vzrm::platform {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A printf directive of a "!...!" insert format applied to a text argument.
std::string ApplyInsertFormat(std::string_view format, const char* argument) {
    std::string text = argument ? argument : "";
    if (format == "s") {
        return text;  // the common case needs no printf
    }
    // Only the width, precision and '-' of a string directive matter for texts.
    std::string directive = "%";
    for (char c : format) {
        if (c == '-' || IsDigit(c) || c == '.') {
            directive.push_back(c);
        } else {
            break;
        }
    }
    directive += "s";
    const int length = std::snprintf(nullptr, 0, directive.c_str(), text.c_str());
    if (length <= 0) {
        return {};
    }
    std::string out(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(out.data(), out.size(), directive.c_str(), text.c_str());
    out.resize(static_cast<std::size_t>(length));
    return out;
}

// Re-breaks lines at `width` characters, at blanks where it can.
std::string Wrap(const std::string& text, std::uint32_t width) {
    std::string out;
    std::size_t column = 0;
    std::size_t lastBlank = std::string::npos;
    for (char c : text) {
        if (c == '\n') {
            out.push_back(c);
            column = 0;
            lastBlank = std::string::npos;
            continue;
        }
        out.push_back(c);
        ++column;
        if (c == ' ') {
            lastBlank = out.size() - 1;
        }
        if (column > width) {
            if (lastBlank != std::string::npos) {
                out.replace(lastBlank, 1, "\r\n");
                column = out.size() - lastBlank - 2;
            } else {
                out.insert(out.size() - 1, "\r\n");
                column = 1;
            }
            lastBlank = std::string::npos;
        }
    }
    return out;
}

}  // namespace

std::string FormatMessageText(std::string_view pattern, const MESSAGE_FORMAT& format,
                              const std::vector<const char*>& arguments) {
    // Hard breaks (%n) are marked so that removing the text's own breaks keeps them.
    constexpr char kHardBreak = '\x01';
    std::string out;
    out.reserve(pattern.size() + 64);
    bool ended = false;
    for (std::size_t at = 0; at < pattern.size() && !ended;) {
        const char c = pattern[at++];
        if (c != '%') {
            out.push_back(c);
            continue;
        }
        if (at >= pattern.size()) {
            out.push_back('%');
            break;
        }
        const char next = pattern[at];
        if (IsDigit(next) && next != '0') {
            const std::size_t start = at - 1;
            std::size_t number = static_cast<std::size_t>(pattern[at++] - '0');
            if (at < pattern.size() && IsDigit(pattern[at])) {
                number = number * 10 + static_cast<std::size_t>(pattern[at++] - '0');
            }
            std::string_view insertFormat = "s";
            if (at < pattern.size() && pattern[at] == '!') {
                const std::size_t close = pattern.find('!', at + 1);
                if (close != std::string_view::npos) {
                    insertFormat = pattern.substr(at + 1, close - at - 1);
                    at = close + 1;
                }
            }
            if (format.ignoreInserts) {
                out.append(pattern.substr(start, at - start));
            } else {
                const char* argument = number <= arguments.size() ? arguments[number - 1] : nullptr;
                out += ApplyInsertFormat(insertFormat, argument);
            }
            continue;
        }
        ++at;
        switch (next) {
            case '0':
                ended = true;
                break;  // the message ends here, without a line break
            case 'n':
                out.push_back(kHardBreak);
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case '%':
                out.push_back('%');
                break;
            case ' ':
                out.push_back(' ');
                break;
            case '.':
                out.push_back('.');
                break;
            case '!':
                out.push_back('!');
                break;
            default:
                out.push_back(next);
                break;
        }
    }
    std::string text;
    text.reserve(out.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        const char c = out[i];
        if (c == kHardBreak) {
            text += "\r\n";
        } else if (format.maxWidth != 0 && c == '\r' && i + 1 < out.size() && out[i + 1] == '\n') {
            // The first half of a CR LF: its LF stands for the pair.
        } else if (format.maxWidth != 0 && (c == '\r' || c == '\n')) {
            text.push_back(' ');  // the text's own line breaks become blanks
        } else {
            text.push_back(c);
        }
    }
    if (format.maxWidth != 0 && format.maxWidth != 0xFF) {
        return Wrap(text, format.maxWidth);
    }
    return text;
}

std::string ExpandParameterReferences(
    std::string text, const std::function<bool(std::uint32_t, std::string&)>& lookup) {
    std::size_t position = 0;
    for (;;) {
        const std::size_t start = text.find("%%", position);
        if (start == std::string::npos) {
            return text;
        }
        position = start + 2;
        std::size_t end = position;
        while (end < text.size() && IsDigit(text[end]) && end - position < 10) {
            ++end;
        }
        if (end == position) {
            continue;
        }
        std::string found;
        if (lookup(static_cast<std::uint32_t>(std::stoull(text.substr(position, end - position))),
                   found)) {
            text.replace(start, end - start, found);
            // Resume right after the inserted text: two characters further on
            // would skip a reference that follows after a single blank.
            position = start + found.size();
        }
    }
}

}  // namespace vzrm::platform
