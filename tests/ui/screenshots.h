// Pictures of the real dialogs, written into the build folder.
#pragma once

#include <QString>
#include <QWidget>

namespace vzrm::test {

inline bool SaveScreenshot(QWidget& widget, const QString& name) {
    return widget.grab().save(QStringLiteral(VZRM_SCREENSHOT_DIR "/") + name + ".png");
}

}  // namespace vzrm::test
