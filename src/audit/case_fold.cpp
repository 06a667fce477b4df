#include "audit/case_fold.h"

#include <locale.h>
#include <wctype.h>

#include "audit/wide_text.h"

namespace vzrm {
namespace {

// Case mapping of every Unicode character, independent of the process locale.
locale_t UnicodeLocale() {
    static const locale_t handle = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return l != static_cast<locale_t>(nullptr)
                   ? l
                   : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
    }();
    return handle;
}

bool IsAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string FoldCase(std::string_view text) {
    std::string out(text);
    if (IsAscii(text)) {
        for (char& c : out) {
            c = LowerAscii(c);
        }
        return out;
    }
    const std::u16string wide = NarrowToWide(text);
    std::u16string lowered;
    lowered.reserve(wide.size());
    const locale_t locale = UnicodeLocale();
    for (char16_t unit : wide) {
        // Surrogates stay as they are: characters outside the BMP keep their case.
        const bool surrogate = unit >= 0xD800 && unit <= 0xDFFF;
        lowered.push_back(
            surrogate ? unit
                      : static_cast<char16_t>(towlower_l(static_cast<wint_t>(unit), locale)));
    }
    return WideToNarrow(lowered);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() == b.size() && IsAscii(a) && IsAscii(b)) {
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (LowerAscii(a[i]) != LowerAscii(b[i])) {
                return false;
            }
        }
        return true;
    }
    return FoldCase(a) == FoldCase(b);
}

}  // namespace vzrm
