// A push button that can be kept from ever becoming the dialog's default
// button: no default frame, and Enter never presses it.
#pragma once

#include <QPushButton>

namespace vzrm::ui {

class CButtonExt : public QPushButton {
    Q_OBJECT

  public:
    explicit CButtonExt(const QString& text = {}, QWidget* parent = nullptr);

    void SetMayBeDefault(bool mayBeDefault);
    bool MayBeDefault() const { return mayBeDefault_; }
    // The dialog's request to make the button its default one.
    void setDefault(bool isDefault);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool mayBeDefault_ = true;
};

}  // namespace vzrm::ui
