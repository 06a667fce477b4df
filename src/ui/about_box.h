// The About box: what is installed and how, the legal notice, copying of
// that text, and the link to the maker's web site.
#pragma once

#include <optional>
#include <string>

#include "settings/install_record.h"
#include "settings/product_description.h"
#include "ui/extended_dialog.h"

namespace vzrm::ui {

inline constexpr int kAboutTemplate = 918;
inline constexpr unsigned WM_LINK_CLICKED = 0x0401;

// What the About text shows beside the product description.
struct ABOUT_FACTS {
    std::optional<INSTALL_FLAGS> installFlags;  // absent when the record was not read
    std::string installDate;                    // the user's short date and time, or empty
    std::string installPath;
};

// The lines, each ended by CR LF except the last.
std::string AboutText(const CSoftInst& soft, const ABOUT_FACTS& facts);
// The facts from the installation record; failures leave parts empty.
ABOUT_FACTS ReadAboutFacts(const CSoftInst& soft, const INSTALL_FLAGS* installFlags);

class CAboutDlg : public CDlgExt {
    Q_OBJECT

  public:
    CAboutDlg(const CSoftInst& soft, ABOUT_FACTS facts, QWidget* parent = nullptr);

    QString ClipboardText() const;

  protected:
    QWidget* CreateItem(const DIALOG_ITEM& item) override;
    void OnInitDialog() override;
    void OnCommand(int id) override;
    void OnWindowMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

  private:
    const CSoftInst& soft_;
    ABOUT_FACTS facts_;
};

}  // namespace vzrm::ui
