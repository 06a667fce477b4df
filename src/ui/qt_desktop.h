// The desktop of an interactive start: Qt comes up with the first box.
#pragma once

#include <QApplication>
#include <memory>

#include "diagnostics/desktop.h"
#include "ui/error_box_display.h"

namespace vzrm::ui {

class CQtDesktop : public IDesktop {
  public:
    // argc and argv must outlive the desktop, as QApplication requires.
    CQtDesktop(int& argc, char** argv);
    ~CQtDesktop() override;

    IErrorBox& ErrorBox() override;
    void ShowMessage(const std::string& caption, const std::string& text) override;
    MAIN_WINDOW_END RunMainWindow(const MAIN_WINDOW_START& start) override;

  private:
    void EnsureApplication();

    int& argc_;
    char** argv_;
    std::unique_ptr<QApplication> application_;
    CErrorBoxDisplay errorBox_;
};

}  // namespace vzrm::ui
