#include "app/base/LightPalette.h"

#include "app/base/InterfaceColors.h"

#include <QToolTip>
#include <QWidget>

namespace vorlith {

namespace {

void setBoth(QPalette& palette, QPalette::ColorRole role, const QColor& color)
{
    palette.setColor(QPalette::Active, role, color);
    palette.setColor(QPalette::Inactive, role, color);
}

} // namespace

QPalette lightPalette()
{
    using C = InterfaceColors;
    QPalette palette;
    setBoth(palette, QPalette::Window, C::panelBody());
    setBoth(palette, QPalette::WindowText, C::ink());
    setBoth(palette, QPalette::Base, C::white());
    setBoth(palette, QPalette::AlternateBase, C::panelBand());
    setBoth(palette, QPalette::Text, C::ink());
    setBoth(palette, QPalette::PlaceholderText, C::secondary());
    setBoth(palette, QPalette::Button, C::stepperBody());
    setBoth(palette, QPalette::ButtonText, C::ink());
    setBoth(palette, QPalette::BrightText, C::white());
    setBoth(palette, QPalette::Highlight, C::selection());
    setBoth(palette, QPalette::HighlightedText, C::ink());
    setBoth(palette, QPalette::ToolTipBase, C::white());
    setBoth(palette, QPalette::ToolTipText, C::ink());
    setBoth(palette, QPalette::Link, C::focus());
    setBoth(palette, QPalette::LinkVisited, C::focus());
    // The bevel shades some styles draw frames and scroll bars with.
    setBoth(palette, QPalette::Light, C::white());
    setBoth(palette, QPalette::Midlight, C::panelBand());
    setBoth(palette, QPalette::Mid, C::fieldBorder());
    setBoth(palette, QPalette::Dark, C::swatchBorder());
    setBoth(palette, QPalette::Shadow, C::secondary());

    // Disabled controls read as muted text on the same light bodies.
    const QPalette::ColorGroup off = QPalette::Disabled;
    palette.setColor(off, QPalette::Window, C::panelBody());
    palette.setColor(off, QPalette::Base, C::panelBand());
    palette.setColor(off, QPalette::Button, C::stepperBody());
    palette.setColor(off, QPalette::WindowText, C::muted());
    palette.setColor(off, QPalette::Text, C::muted());
    palette.setColor(off, QPalette::ButtonText, C::muted());
    palette.setColor(off, QPalette::PlaceholderText, C::muted());
    palette.setColor(off, QPalette::Highlight, C::hover());
    palette.setColor(off, QPalette::HighlightedText, C::muted());
    palette.setColor(off, QPalette::ToolTipBase, C::white());
    palette.setColor(off, QPalette::ToolTipText, C::muted());
    palette.setColor(off, QPalette::Light, C::white());
    palette.setColor(off, QPalette::Midlight, C::panelBand());
    palette.setColor(off, QPalette::Mid, C::fieldBorder());
    palette.setColor(off, QPalette::Dark, C::swatchBorder());
    palette.setColor(off, QPalette::Shadow, C::secondary());
    return palette;
}

void applyLightPalette(QWidget& window)
{
    const QPalette palette = lightPalette();
    window.setPalette(palette);
    QToolTip::setPalette(palette);
}

} // namespace vorlith
