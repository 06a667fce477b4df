// What an interactive start shows the user: the error box and the product's
// message boxes. Without a window system they go to standard error.
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

class CConsoleDesktop : public IDesktop {
  public:
    IErrorBox& ErrorBox() override;
    void ShowMessage(const std::string& caption, const std::string& text) override;
};

}  // namespace vzrm
