#pragma once

#include <QColor>

namespace vorlith {

// The two colours the hand-drawn chrome takes from a light system appearance rather than from
// InterfaceColors: kept here, beside the palette, as fixed values so the chrome looks the same
// under every desktop theme.
namespace systemColors {

// Secondary label ink (the shape button's chevron): black at alpha 0.5.
inline QColor secondaryLabel()
{
    return QColor::fromRgbF(0, 0, 0, 0.5f);
}

// Separator lines (the toolbar's separators between button groups): black at alpha 0.1.
inline QColor separator()
{
    return QColor::fromRgbF(0, 0, 0, 0.1f);
}

} // namespace systemColors

} // namespace vorlith
