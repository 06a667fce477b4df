#include "ui/extended_dialog.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>

#include "base/exceptions.h"
#include "ui/extended_button.h"
#include "ui/extended_edit.h"
#include "ui/window_message.h"

namespace vzrm::ui {
namespace {

constexpr unsigned WM_COMMAND = 0x0111;

CEditExt* MakeEdit(const DIALOG_ITEM& item, QWidget* parent) {
    auto* edit = new CEditExt(parent);
    edit->setReadOnly((item.flags & EDIT_READ_ONLY) != 0);
    if ((item.flags & EDIT_MULTI_LINE) == 0) {
        edit->SetSingleLine();
    }
    // Multi-line text wraps at the edge, as in a dialog's edit without
    // horizontal scrolling.
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setVerticalScrollBarPolicy((item.flags & EDIT_VSCROLL) != 0 ? Qt::ScrollBarAlwaysOn
                                                                      : Qt::ScrollBarAlwaysOff);
    if ((item.flags & EDIT_READ_ONLY) != 0) {
        // Read-only text sits on the dialog's colour.
        QPalette colours = edit->palette();
        colours.setColor(QPalette::Base, colours.color(QPalette::Window));
        edit->setPalette(colours);
    }
    if ((item.flags & EDIT_NO_BORDER) != 0) {
        edit->setFrameShape(QFrame::NoFrame);
    }
    edit->setPlainText(QString::fromUtf8(item.text));
    return edit;
}

}  // namespace

CDlgExt::CDlgExt(int templateId, QWidget* parent, int fontSize)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      templateId_(templateId),
      fontSize_(fontSize) {}

CDlgExt::~CDlgExt() {
    if (owner_ != nullptr && *owner_ == this) {
        *owner_ = nullptr;
    }
}

int CDlgExt::DoModal() {
    if (!built_ && !Build()) {
        return -1;
    }
    return exec();
}

bool CDlgExt::Create(CDlgExt** owner) {
    if (!built_ && !Build()) {
        return false;
    }
    owner_ = owner;
    if (owner_ != nullptr) {
        *owner_ = this;
    }
    setModal(false);
    show();
    return true;
}

QWidget* CDlgExt::Item(int id) const {
    const auto found = items_.find(id);
    return found == items_.end() ? nullptr : found->second;
}

int CDlgExt::PointSize() const {
    return font().pointSize();
}

bool CDlgExt::Build() {
    const DIALOG_TEMPLATE* layout = FindDialogTemplate(templateId_);
    if (layout == nullptr) {
        return false;
    }
    QFont dialogFont = QApplication::font();
    dialogFont.setPointSize(fontSize_ != 0 ? fontSize_ : layout->fontPointSize);
    setFont(dialogFont);
    baseUnits_ = BaseUnitsOf(dialogFont);
    setWindowTitle(QString::fromUtf8(layout->caption));

    for (const DIALOG_ITEM& item : layout->items) {
        QWidget* widget = CreateItem(item);
        widget->setGeometry(DialogRectToPixels(item.units, baseUnits_));
        if (item.id != IDC_STATIC) {
            items_[item.id] = widget;
        }
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            const int id = item.id;
            connect(button, &QAbstractButton::clicked, this, [this, id] {
                // Through event(), as a WM_COMMAND would pass the dialog procedure.
                CWindowMessageEvent command(WM_COMMAND, static_cast<std::uintptr_t>(id));
                QCoreApplication::sendEvent(this, &command);
            });
        }
    }
    setFixedSize(DialogRectToPixels(QRect(QPoint(0, 0), layout->units), baseUnits_).size());
    built_ = true;
    OnInitDialog();
    return true;
}

QWidget* CDlgExt::CreateItem(const DIALOG_ITEM& item) {
    const QString text = QString::fromUtf8(item.text);
    switch (item.kind) {
        case ControlKind::icon:
            return new QLabel(this);
        case ControlKind::text: {
            auto* label = new QLabel(text, this);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case ControlKind::edit:
            return MakeEdit(item, this);
        case ControlKind::button:
        case ControlKind::defaultButton: {
            auto* button = new CButtonExt(text, this);
            button->setDefault(item.kind == ControlKind::defaultButton);
            button->setFlat((item.flags & BUTTON_FLAT) != 0);
            return button;
        }
        case ControlKind::groupBox:
            return new QGroupBox(text, this);
        case ControlKind::sunkenLine: {
            auto* line = new QFrame(this);
            line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
            return line;
        }
    }
    return new QWidget(this);
}

void CDlgExt::OnCommand(int id) {
    if (id == IDOK) {
        OnOK();
    } else if (id == IDCANCEL) {
        OnCancel();
    }
}

void CDlgExt::OnWindowMessage(unsigned, std::uintptr_t, std::intptr_t) {}

bool CDlgExt::CloseModeless() {
    if (owner_ == nullptr) {
        return false;
    }
    hide();
    deleteLater();
    return true;
}

void CDlgExt::OnOK() {
    if (!CloseModeless()) {
        QDialog::accept();
    }
}

void CDlgExt::OnCancel() {
    if (!CloseModeless()) {
        QDialog::reject();
    }
}

void CDlgExt::SetItemIcon(int id, const QIcon& icon) {
    if (auto* label = ItemAs<QLabel>(id)) {
        const int side = std::min(label->width(), label->height());
        label->setPixmap(icon.pixmap(side, side));
    }
}

bool CDlgExt::event(QEvent* event) {
    try {
        if (auto* message = dynamic_cast<CWindowMessageEvent*>(event)) {
            if (message->Message() == WM_COMMAND) {
                OnCommand(static_cast<int>(message->WParam()));
            } else {
                OnWindowMessage(message->Message(), message->WParam(), message->LParam());
            }
            return true;
        }
        return QDialog::event(event);
    } catch (C_Exception* exception) {
        exception->AddCatchPoint("SJB9CW9MNBPZ768");
        throw;
    }
}

}  // namespace vzrm::ui
