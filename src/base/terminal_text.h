// Text from a log shown on a terminal or in a tab-separated line: control
// characters and bidi overrides are escaped, so that a name in the log can
// neither drive the terminal (window title, clear screen, colours), nor
// reorder what is shown, nor start a line or a column of its own.
#pragma once

#include <string>

namespace vzrm {

// TAB, CR and LF as \t, \r and \n; other C0 controls and DEL as \xHH; C1
// controls and the bidi controls (U+061C, U+200E, U+200F, U+202A-U+202E,
// U+2066-U+2069) as \uHHHH. Everything else is kept as it is.
std::string EscapeControls(const std::string& text);

}  // namespace vzrm
