#include "base/format_text.h"

#include <cstdio>
#include <vector>

namespace vzrm {
namespace {

struct Directive {
    std::string flags;
    std::string width;      // digits, or "*" when taken from an argument
    std::string precision;  // ".digits", ".*" or empty
    bool wide = false;      // a 64-bit length modifier
    char conversion = 0;
};

bool IsFlag(char c) {
    return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Parses the directive after a '%' at `at`; false when it is not one.
bool ParseDirective(std::string_view pattern, std::size_t& at, Directive& d) {
    auto more = [&] { return at < pattern.size(); };
    while (more() && IsFlag(pattern[at])) {
        d.flags.push_back(pattern[at++]);
    }
    if (more() && pattern[at] == '*') {
        d.width = "*";
        ++at;
    }
    while (more() && IsDigit(pattern[at])) {
        d.width.push_back(pattern[at++]);
    }
    if (more() && pattern[at] == '.') {
        d.precision.push_back(pattern[at++]);
        if (more() && pattern[at] == '*') {
            d.precision.push_back(pattern[at++]);
        }
        while (more() && IsDigit(pattern[at])) {
            d.precision.push_back(pattern[at++]);
        }
    }
    const std::string_view rest = pattern.substr(at);
    if (rest.starts_with("I64") || rest.starts_with("ll")) {
        d.wide = true;
        at += rest.starts_with("I64") ? 3 : 2;
    } else if (rest.starts_with("I32")) {
        at += 3;
    } else if (rest.starts_with("hh")) {
        at += 2;
    } else if (!rest.empty() &&
               (rest[0] == 'I' || rest[0] == 'j' || rest[0] == 'z' || rest[0] == 't')) {
        d.wide = true;
        ++at;
    } else if (!rest.empty() && (rest[0] == 'h' || rest[0] == 'l' || rest[0] == 'L')) {
        ++at;
    }
    if (!more()) {
        return false;
    }
    d.conversion = pattern[at++];
    return std::string_view("diuxXocCsSeEfgGp%").find(d.conversion) != std::string_view::npos;
}

class ArgumentCursor {
  public:
    explicit ArgumentCursor(std::initializer_list<FormatArg> args) : args_(args) {}
    const FormatArg* Next() { return next_ < args_.size() ? args_.begin() + next_++ : nullptr; }

  private:
    std::initializer_list<FormatArg> args_;
    std::size_t next_ = 0;
};

std::int64_t AsSigned(const FormatArg* arg) {
    if (!arg) {
        return 0;
    }
    return std::visit(
        [](const auto& v) -> std::int64_t {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string_view>) {
                return 0;
            } else {
                return static_cast<std::int64_t>(v);
            }
        },
        arg->value());
}

double AsDouble(const FormatArg* arg) {
    if (arg && std::holds_alternative<double>(arg->value())) {
        return std::get<double>(arg->value());
    }
    return static_cast<double>(AsSigned(arg));
}

std::string AsText(const FormatArg* arg) {
    if (!arg) {
        return {};
    }
    if (const auto* text = std::get_if<std::string_view>(&arg->value())) {
        return std::string(*text);
    }
    if (const auto* number = std::get_if<std::uint64_t>(&arg->value())) {
        return std::to_string(*number);
    }
    if (const auto* number = std::get_if<double>(&arg->value())) {
        return std::to_string(*number);
    }
    return std::to_string(std::get<std::int64_t>(arg->value()));
}

// `head` and `conversion` are built by this file from checked characters only.
template <typename T>
std::string Printf(const std::string& head, std::string_view conversion, T value) {
    std::string directive;
    directive.reserve(head.size() + conversion.size());
    directive.append(head).append(conversion);
    const int length = std::snprintf(nullptr, 0, directive.c_str(), value);
    if (length <= 0) {
        return {};
    }
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::snprintf(buffer.data(), buffer.size(), directive.c_str(), value);
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

std::string Apply(Directive d, ArgumentCursor& args) {
    if (d.width == "*") {
        d.width = std::to_string(AsSigned(args.Next()));
    }
    if (d.precision == ".*") {
        d.precision = "." + std::to_string(AsSigned(args.Next()));
    }
    std::string head = "%";
    head.append(d.flags).append(d.width).append(d.precision);
    const std::string_view conversion(&d.conversion, 1);
    const FormatArg* arg = args.Next();
    switch (d.conversion) {
        case 'd':
        case 'i':
            return d.wide ? Printf(head, "lld", static_cast<long long>(AsSigned(arg)))
                          : Printf(head, "d", static_cast<int>(AsSigned(arg)));
        case 'u':
        case 'x':
        case 'X':
        case 'o': {
            const auto bits = static_cast<std::uint64_t>(AsSigned(arg));
            return d.wide ? Printf(head + "ll", conversion, static_cast<unsigned long long>(bits))
                          : Printf(head, conversion, static_cast<unsigned>(bits));
        }
        case 'p':
            return Printf("%016ll", "X", static_cast<unsigned long long>(AsSigned(arg)));
        case 'c':
        case 'C':
            return Printf(head, "c", static_cast<int>(static_cast<unsigned char>(AsSigned(arg))));
        case 'e':
        case 'E':
        case 'f':
        case 'g':
        case 'G':
            return Printf(head, conversion, AsDouble(arg));
        default: {
            std::string text = AsText(arg);
            if (head == "%") {
                return text;
            }
            return Printf(head, "s", text.c_str());
        }
    }
}

}  // namespace

std::string FormatTemplate(std::string_view pattern, std::initializer_list<FormatArg> args) {
    ArgumentCursor cursor(args);
    std::string out;
    out.reserve(pattern.size() + 64);
    for (std::size_t at = 0; at < pattern.size();) {
        const char c = pattern[at++];
        if (c != '%') {
            out.push_back(c);
            continue;
        }
        const std::size_t start = at;
        Directive directive;
        if (!ParseDirective(pattern, at, directive)) {
            out.push_back('%');
            at = start;
            continue;
        }
        if (directive.conversion == '%') {
            out.push_back('%');
            continue;
        }
        out += Apply(directive, cursor);
    }
    return out;
}

}  // namespace vzrm
