// Dialog layouts are written in dialog units: a quarter of the dialog font's
// average character width across, an eighth of its height down.
#pragma once

#include <QFont>
#include <QRect>

namespace vzrm::ui {

struct DialogBaseUnits {
    int x = 0;  // average character width, pixels
    int y = 0;  // character height, pixels
};

DialogBaseUnits BaseUnitsOf(const QFont& font);
// Rounded as MulDiv rounds: to nearest, halves away from zero.
int DialogUnitsToPixelsX(int units, DialogBaseUnits base);
int DialogUnitsToPixelsY(int units, DialogBaseUnits base);
QRect DialogRectToPixels(const QRect& units, DialogBaseUnits base);

}  // namespace vzrm::ui
