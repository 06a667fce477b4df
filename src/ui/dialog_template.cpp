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
        {130,
         "",
         {286, 69},
         8,
         {
             {IDC_STATIC, ControlKind::text, "Folder for reports:", {5, 9, 63, 12}},
             {1001, ControlKind::edit, "", {70, 9, 188, 12}},
             {1005, ControlKind::button, "", {262, 8, 17, 14}, BUTTON_BITMAP},
             {IDC_STATIC, ControlKind::text, "Last date of processing:", {5, 24, 81, 14}},
             {1006, ControlKind::text, "", {87, 27, 116, 8}},
             {1531, ControlKind::button, "Folders for audit", {208, 24, 71, 14}},
             {IDC_STATIC, ControlKind::sunkenLine, "", {4, 41, 276, 1}},
             {1003, ControlKind::button, "Help", {5, 48, 45, 14}, BUTTON_FLAT},
             {1002, ControlKind::button, "About", {55, 48, 45, 14}, BUTTON_FLAT},
             {IDOK, ControlKind::button, "Start", {172, 48, 52, 14}},
             {1004, ControlKind::button, "Close", {228, 48, 52, 14}},
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
