#include "ui/dialog_template.h"

namespace vzrm::ui {
namespace {

constexpr unsigned kReadOnlyText = EDIT_READ_ONLY | EDIT_MULTI_LINE;

const std::vector<DIALOG_TEMPLATE>& Templates() {
    static const std::vector<DIALOG_TEMPLATE> templates = {
        {990,
         "",
         {250, 132},
         8,
         {
             {4001, ControlKind::icon, "", {5, 7, 20, 20}},
             {4002, ControlKind::edit, "", {31, 7, 166, 44}, kReadOnlyText | EDIT_NO_BORDER},
             {IDOK, ControlKind::defaultButton, "&Close", {201, 7, 44, 14}},
             {4000, ControlKind::button, "&Details <<", {201, 36, 44, 14}},
             {4003, ControlKind::edit, "", {5, 56, 240, 53}, kReadOnlyText | EDIT_VSCROLL},
             {4004, ControlKind::button, "Copy &to Clipboard", {94, 113, 73, 14}},
             {4005, ControlKind::button, "&Send E-mail...", {172, 113, 73, 14}},
         }},
        {918,
         "About",
         {230, 118},
         8,
         {
             {3211, ControlKind::edit, "", {4, 5, 222, 62}, kReadOnlyText | EDIT_VSCROLL},
             {3216, ControlKind::button, "Copy to Clipboard", {4, 71, 67, 14}},
             {IDCANCEL, ControlKind::defaultButton, "Close", {176, 71, 50, 14}},
             {IDC_STATIC, ControlKind::groupBox, "", {28, 84, 198, 30}},
             {3213, ControlKind::icon, "", {4, 91, 20, 20}},
             {3212,
              ControlKind::text,
              "To get other great products from %s, visit",
              {33, 91, 186, 8}},
             {3210, ControlKind::edit, "", {33, 100, 188, 12}, EDIT_READ_ONLY},
         }},
    };
    return templates;
}

}  // namespace

const DIALOG_TEMPLATE* FindDialogTemplate(int id) {
    for (const DIALOG_TEMPLATE& dialog : Templates()) {
        if (dialog.id == id) {
            return &dialog;
        }
    }
    return nullptr;
}

}  // namespace vzrm::ui
