// The error display's box on the desktop: one error box at a time, modal to
// the active window.
#pragma once

#include "diagnostics/error_report.h"

namespace vzrm::ui {

class CErrorBoxDisplay : public IErrorBox {
  public:
    bool IsShowing() const override;
    void Show(const std::string& caption, const std::string& message, const std::string& details,
              std::uint32_t style, const std::string& supportAddress) override;
};

}  // namespace vzrm::ui
