// printf-style formatting of templates that come from the string table.
//
// The template is parsed here and each directive is applied to one typed
// argument, so a "%" inside an argument is always written literally and a
// template that asks for more arguments than it got yields empty fields
// instead of reading random memory. Length modifiers follow the Windows
// meaning the templates were written for: none, h and l are 32 bits;
// ll, I64, j, z and t are 64 bits.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace vzrm {

class FormatArg {
  public:
    using Value = std::variant<std::string_view, std::int64_t, std::uint64_t, double>;

    FormatArg(std::string_view text) : value_(text) {}
    FormatArg(const std::string& text) : value_(std::string_view(text)) {}
    FormatArg(const char* text) : value_(std::string_view(text ? text : "")) {}
    template <typename T, std::enable_if_t<std::is_integral_v<T>, int> = 0>
    FormatArg(T number) {
        if constexpr (std::is_signed_v<T>) {
            value_ = static_cast<std::int64_t>(number);
        } else {
            value_ = static_cast<std::uint64_t>(number);
        }
    }
    FormatArg(double number) : value_(number) {}

    const Value& value() const { return value_; }

  private:
    Value value_;
};

std::string FormatTemplate(std::string_view pattern, std::initializer_list<FormatArg> args);

template <typename... Args>
std::string FormatText(std::string_view pattern, const Args&... args) {
    return FormatTemplate(pattern, {FormatArg(args)...});
}

}  // namespace vzrm
