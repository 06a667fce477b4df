// Texts between the program and its dialogs: the program's lines end with
// CR LF, an edit's with LF; the clipboard gets parts between separator lines.
#pragma once

#include <QString>

namespace vzrm::ui {

QString ForDisplay(const QString& text);  // CR LF to LF
QString WithCrLf(const QString& text);    // LF to CR LF
// CR LF, thirty dashes, CR LF.
QString SeparatorLine();
// Puts the text on the clipboard; a clipboard that refuses it is left alone.
void CopyToClipboard(const QString& text);

}  // namespace vzrm::ui
