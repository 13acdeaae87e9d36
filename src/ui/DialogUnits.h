#pragma once

#include <QFont>
#include <QRect>

namespace kelvaro {

// Dialog layouts are given in dialog units of a 9-point proportional Japanese font, as dialog
// templates are. One factor per axis turns them into pixels: a horizontal unit is a quarter of
// the font's average character width (7 px for IPAPGothic 9 pt), a vertical unit an eighth of its
// height (12 px). With these the editor's row of controls fits its 656-pixel window, and the
// 144-pixel palette bar fits between the "凸" and "凹" labels.
inline constexpr int kDialogUnitXNum = 7, kDialogUnitXDen = 4;
inline constexpr int kDialogUnitYNum = 12, kDialogUnitYDen = 8;

constexpr int DialogUnitsToPixelsX(int du) {
    return du * kDialogUnitXNum / kDialogUnitXDen;
}
constexpr int DialogUnitsToPixelsY(int du) {
    return du * kDialogUnitYNum / kDialogUnitYDen;
}

inline QRect DialogUnitsToPixels(const QRect& du) {
    const int left = DialogUnitsToPixelsX(du.x()), top = DialogUnitsToPixelsY(du.y());
    return QRect(left, top, DialogUnitsToPixelsX(du.x() + du.width()) - left,
                 DialogUnitsToPixelsY(du.y() + du.height()) - top);
}

// The dialogs' font: IPAPGothic, a proportional Japanese gothic face, at 9 points.
inline QFont DialogFont() {
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPointSize(9);
    return font;
}

} // namespace kelvaro
