// An edit control that can keep its text unselected when it takes the focus
// and can refuse undo (the shortcut does nothing, the menu's Undo is greyed).
#pragma once

#include <QPlainTextEdit>
#include <memory>

class QMenu;

namespace vzrm::ui {

class CEditExt : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit CEditExt(QWidget* parent = nullptr);

    void SetSelectOnFocus(bool select) { selectOnFocus_ = select; }
    bool SelectOnFocus() const { return selectOnFocus_; }
    void SetUndoAllowed(bool allowed) { undoAllowed_ = allowed; }
    bool UndoAllowed() const { return undoAllowed_; }
    // One line, no wrapping, no scroll bars: the single-line edit of a dialog.
    // Enter does nothing in it, and pasted or dropped text keeps its first line.
    void SetSingleLine();

    // Undoes the last change when undo is allowed; answers true either way.
    bool Undo();
    // The context menu as it would open now.
    std::unique_ptr<QMenu> ContextMenu();

  protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

  private:
    bool selectOnFocus_ = true;
    bool undoAllowed_ = true;
    bool singleLine_ = false;
};

// The text up to its first line break.
QString FirstLine(const QString& text);

}  // namespace vzrm::ui
