// What an interactive start shows the user: the error box and the product's
// message boxes. Unattended starts write to the Application log instead.
#pragma once

#include <string>

#include "diagnostics/error_report.h"

namespace vzrm {

class IDesktop {
  public:
    virtual ~IDesktop() = default;
    virtual IErrorBox& ErrorBox() = 0;
    // A system-modal box with the exclamation icon.
    virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
};

}  // namespace vzrm
