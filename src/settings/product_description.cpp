#include "settings/product_description.h"

#include "base/format_text.h"

namespace vzrm {

CSoftInst::CSoftInst() {
    buildText = FormatText("(build %d)", build);
    executables.push_back({"vzrmaud.exe", 1, "Global\\Quorvix_ZRMAU_MutexGlobal", 1});
    windowClasses.emplace_back(1, "Quorvix_ZRMAU_Class");
}

std::string CSoftInst::BasePath() const {
    return "Software\\" + (companyWord.empty() ? std::string("???") : companyWord) + "\\" +
           (productWord.empty() ? std::string("???") : productWord);
}

std::string CSoftInst::VersionText(std::int32_t maj, std::int32_t min) const {
    if (maj == 0 && min == 0) {
        maj = major;
        min = minor;
    }
    std::string text = min / 10 != 0 ? FormatText("%d.%d", maj, min / 10) : FormatText("%d.0", maj);
    if (min % 10 != 0) {
        text.push_back(static_cast<char>('A' + min % 10 - 1));
    }
    return text;
}

std::string CSoftInst::ProductName(bool withoutBlanks) const {
    if (!withoutBlanks) {
        return productName;
    }
    std::string name;
    for (char c : productName) {
        if (c != ' ') {
            name.push_back(c);
        }
    }
    return name;
}

std::string CSoftInst::ProductText() const {
    std::string text = productName + " " + VersionText();
    if (!buildText.empty()) {
        text += " " + buildText;
    }
    return text;
}

}  // namespace vzrm
