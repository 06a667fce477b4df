#include "base/case_fold.h"

#include "base/case_fold_table.h"
#include "base/wide_text.h"

namespace vzrm {
namespace {

// The same for every process locale: the table of the whole plane.
char16_t LowerUnit(char16_t unit) {
    for (const case_table::LOWER_RUN& run : case_table::kLowerRuns) {
        if (unit < run.first) {
            break;  // runs are ordered by their first character
        }
        if (unit <= run.last && (unit - run.first) % run.stride == 0) {
            return static_cast<char16_t>(unit + run.delta);
        }
    }
    return unit;
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
    for (char16_t unit : wide) {
        // Surrogates stay as they are: characters outside the BMP keep their case.
        lowered.push_back(LowerUnit(unit));
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
