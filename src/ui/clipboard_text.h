// The text the dialogs put on the clipboard: parts between separator lines.
#pragma once

#include <QString>

namespace vzrm::ui {

// CR LF, thirty dashes, CR LF.
QString SeparatorLine();
// Puts the text on the clipboard; a clipboard that refuses it is left alone.
void CopyToClipboard(const QString& text);

}  // namespace vzrm::ui
