#include "ui/extended_edit.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>

namespace vzrm::ui {

QString FirstLine(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n' || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator) {
            return text.left(i);
        }
    }
    return text;
}

CEditExt::CEditExt(QWidget* parent) : QPlainTextEdit(parent) {
    setTabChangesFocus(true);
}

void CEditExt::SetSingleLine() {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setWordWrapMode(QTextOption::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    document()->setDocumentMargin(1);
    singleLine_ = true;
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
    // A line break would become part of the value (a folder name); the form
    // does nothing on Enter either.
    const bool lineBreak = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (singleLine_ && lineBreak && !isReadOnly()) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void CEditExt::contextMenuEvent(QContextMenuEvent* event) {
    ContextMenu()->exec(event->globalPos());
}

void CEditExt::insertFromMimeData(const QMimeData* source) {
    if (!singleLine_ || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    insertPlainText(FirstLine(source->text()));
}

}  // namespace vzrm::ui
