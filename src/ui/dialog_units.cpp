#include "ui/dialog_units.h"

#include <QFontMetrics>
#include <cstdlib>

namespace vzrm::ui {
namespace {

int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : -((-product + half) / denominator));
}

}  // namespace

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    // The width of the 52 letters, averaged and rounded.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

int DialogUnitsToPixelsX(int units, DialogBaseUnits base) {
    return MulDiv(units, base.x, 4);
}

int DialogUnitsToPixelsY(int units, DialogBaseUnits base) {
    return MulDiv(units, base.y, 8);
}

QRect DialogRectToPixels(const QRect& units, DialogBaseUnits base) {
    const int left = DialogUnitsToPixelsX(units.x(), base);
    const int top = DialogUnitsToPixelsY(units.y(), base);
    const int right = DialogUnitsToPixelsX(units.x() + units.width(), base);
    const int bottom = DialogUnitsToPixelsY(units.y() + units.height(), base);
    return QRect(left, top, right - left, bottom - top);
}

}  // namespace vzrm::ui
