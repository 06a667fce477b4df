#include "app/desktop.h"

#include <iostream>

namespace vzrm {
namespace {

class StderrErrorBox : public IErrorBox {
  public:
    bool IsShowing() const override { return false; }
    void Show(const std::string& caption, const std::string& message, const std::string& details,
              std::uint32_t, const std::string&) override {
        std::cerr << caption << ": " << message << "\n\n" << details << "\n";
    }
};

}  // namespace

IErrorBox& CConsoleDesktop::ErrorBox() {
    static StderrErrorBox box;
    return box;
}

void CConsoleDesktop::ShowMessage(const std::string& caption, const std::string& text) {
    std::cerr << caption << ": " << text << "\n";
}

}  // namespace vzrm
