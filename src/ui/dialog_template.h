// The program's dialog layouts, as a resource script would hold them:
// controls with their ids, texts and places in dialog units.
#pragma once

#include <QRect>
#include <QSize>
#include <vector>

namespace vzrm::ui {

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDC_STATIC = -1;

enum class ControlKind { icon, text, edit, button, defaultButton, groupBox, sunkenLine };

enum EditFlags : unsigned {
    EDIT_READ_ONLY = 0x1,
    EDIT_MULTI_LINE = 0x2,
    EDIT_VSCROLL = 0x4,
    EDIT_NO_BORDER = 0x8,
};

// Buttons of a form: flat, or showing a bitmap instead of text.
enum ButtonFlags : unsigned {
    BUTTON_FLAT = 0x10,
    BUTTON_BITMAP = 0x20,
};

struct DIALOG_ITEM {
    int id = IDC_STATIC;
    ControlKind kind = ControlKind::text;
    const char* text = "";
    QRect units;
    unsigned flags = 0;
};

struct DIALOG_TEMPLATE {
    int id = 0;
    const char* caption = "";
    QSize units;
    int fontPointSize = 8;
    std::vector<DIALOG_ITEM> items;
};

// Null for an id that has no layout.
const DIALOG_TEMPLATE* FindDialogTemplate(int id);

}  // namespace vzrm::ui
