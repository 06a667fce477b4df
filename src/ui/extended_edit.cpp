#include "ui/extended_edit.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>

namespace vzrm::ui {

CEditExt::CEditExt(QWidget* parent) : QPlainTextEdit(parent) {
    setTabChangesFocus(true);
}

void CEditExt::SetSingleLine() {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setWordWrapMode(QTextOption::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    document()->setDocumentMargin(1);
}

bool CEditExt::Undo() {
    if (undoAllowed_) {
        undo();
    }
    return true;
}

std::unique_ptr<QMenu> CEditExt::ContextMenu() {
    std::unique_ptr<QMenu> menu(createStandardContextMenu());
    if (!undoAllowed_) {
        for (QAction* action : menu->actions()) {
            if (action->objectName() == QLatin1String("edit-undo")) {
                action->setEnabled(false);
            }
        }
    }
    return menu;
}

void CEditExt::focusInEvent(QFocusEvent* event) {
    QPlainTextEdit::focusInEvent(event);
    // A dialog selects an edit's whole text when the keyboard moves into it.
    const bool byKeyboard = event->reason() == Qt::TabFocusReason ||
                            event->reason() == Qt::BacktabFocusReason ||
                            event->reason() == Qt::ShortcutFocusReason;
    if (selectOnFocus_ && byKeyboard) {
        selectAll();
    }
}

void CEditExt::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Undo)) {
        Undo();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void CEditExt::contextMenuEvent(QContextMenuEvent* event) {
    ContextMenu()->exec(event->globalPos());
}

}  // namespace vzrm::ui
