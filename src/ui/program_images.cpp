#include "ui/program_images.h"

#include <QPixmap>

namespace vzrm::ui {

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 256}) {
        icon.addFile(QStringLiteral(":/vzrmaud/icon_%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QImage BrowseGlyph(bool enabled) {
    return QImage(enabled ? QStringLiteral(":/vzrmaud/browse.png")
                          : QStringLiteral(":/vzrmaud/browse_disabled.png"));
}

QCursor HandCursor() {
    const QPixmap hand(QStringLiteral(":/vzrmaud/hand.png"));
    // The finger's tip is the hot spot.
    return hand.isNull() ? QCursor(Qt::PointingHandCursor) : QCursor(hand, 6, 0);
}

}  // namespace vzrm::ui
