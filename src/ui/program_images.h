// The program's images: its icon, the browse button's glyph (enabled and
// disabled) and the hand cursor of links, from the program's resources.
#pragma once

#include <QCursor>
#include <QIcon>
#include <QImage>

namespace vzrm::ui {

QIcon ProgramIcon();
QImage BrowseGlyph(bool enabled);
QCursor HandCursor();

}  // namespace vzrm::ui
