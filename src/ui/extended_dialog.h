// The dialog base of the program's dialogs: builds its controls from a layout
// in dialog units, can take another font size than the layout's, routes
// button presses and private messages to handlers, and, when modeless,
// deletes itself once closed.
#pragma once

#include <QDialog>
#include <map>

#include "ui/dialog_template.h"
#include "ui/dialog_units.h"

namespace vzrm::ui {

class CDlgExt : public QDialog {
    Q_OBJECT

  public:
    // fontSize 0 keeps the layout's font size.
    explicit CDlgExt(int templateId, QWidget* parent = nullptr, int fontSize = 0);
    ~CDlgExt() override;

    // Modal: the dialog's result, or -1 when it has no layout.
    int DoModal();
    // Modeless: shown at once; *owner is cleared when the dialog has gone.
    bool Create(CDlgExt** owner);

    // Enter and Escape end the dialog through OnOK and OnCancel.
    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

    QWidget* Item(int id) const;
    template <class T>
    T* ItemAs(int id) const {
        return qobject_cast<T*>(Item(id));
    }
    DialogBaseUnits BaseUnits() const { return baseUnits_; }
    int PointSize() const;

  protected:
    // The widget for a layout item; the default makes the standard control.
    virtual QWidget* CreateItem(const DIALOG_ITEM& item);
    virtual void OnInitDialog() {}
    // A button of the layout was pressed.
    virtual void OnCommand(int id);
    virtual void OnWindowMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    virtual void OnOK();
    virtual void OnCancel();
    // The icon into a layout's icon control, as large as the control allows.
    void SetItemIcon(int id, const QIcon& icon);

    bool event(QEvent* event) override;
    // Builds the controls of the layout (once); false when it has none.
    bool Build();

  private:
    // Ends a modeless dialog: hidden now, deleted by the event loop.
    bool CloseModeless();

    int templateId_;
    int fontSize_;
    bool built_ = false;
    CDlgExt** owner_ = nullptr;
    DialogBaseUnits baseUnits_;
    std::map<int, QWidget*> items_;
};

}  // namespace vzrm::ui
