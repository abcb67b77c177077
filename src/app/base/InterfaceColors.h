#pragma once

#include <QColor>

#include <optional>
#include <span>
#include <string_view>

namespace vorlith {

// The named colours of every hand-drawn view. Names describe a role, not a hue, so several
// roles share a value. Each colour is made once, on first use, and shared for the life of
// the process; an alias is the very same object as the entry it names.
//
// QColor keeps 16 bits per channel, which cannot hold a decimal alpha such as 0.33 exactly;
// the exact alpha of every entry is kept alongside and read with alpha().
class InterfaceColors {
public:
    InterfaceColors() = delete;

// The palette, in declaration order: COLOR(name, sRGB, alpha) or ALIAS(name, entry).
// `white` is the system white; `error` is the system red, fixed here in sRGB.
#define VORLITH_INTERFACE_COLORS(COLOR, ALIAS)  \
    COLOR(brand, 0xD8EB55, 1.0)                 \
    COLOR(brandPressed, 0xCCDF45, 1.0)          \
    COLOR(brandDisabled, 0xE8ECDC, 1.0)         \
    COLOR(feedbackBody, 0x283126, 1.0)          \
    COLOR(captureMask, 0x18241C, 88 / 255.0)    \
    COLOR(captureOutline, 0x4B5C3F, 1.0)        \
    COLOR(captureHandle, 0x384C28, 1.0)         \
    COLOR(endpointHaloBorder, 0x839145, 1.0)    \
    COLOR(endpointHotBorder, 0x455C21, 1.0)     \
    COLOR(chosenInk, 0x344418, 1.0)             \
    COLOR(chosenBorder, 0x9CA96A, 87 / 255.0)   \
    COLOR(shortcut, 0x7A826B, 1.0)              \
    COLOR(dragHandle, 0x75816B, 0.33)           \
    COLOR(toastBody, 0xFAFBF8, 0.98)            \
    COLOR(toastErrorBorder, 0xE2C2BC, 1.0)      \
    COLOR(toastOuter, 0x202721, 0.10)           \
    COLOR(toastError, 0xA72C2C, 1.0)            \
    COLOR(ink, 0x202721, 1.0)                   \
    COLOR(secondary, 0x626761, 1.0)             \
    COLOR(propertyLabel, 0x5D6557, 1.0)         \
    COLOR(muted, 0x6B7562, 1.0)                 \
    COLOR(focus, 0x53651D, 1.0)                 \
    COLOR(white, 0xFFFFFF, 1.0)                 \
    COLOR(error, 0xFF3B30, 1.0)                 \
    ALIAS(panelBody, white)                     \
    COLOR(panelBand, 0xF8F8F7, 1.0)             \
    COLOR(settingsBody, 0xF5F6F2, 1.0)          \
    COLOR(settingsFooter, 0xF0F2EB, 1.0)        \
    COLOR(groupBorder, 0xDCE0D5, 1.0)           \
    COLOR(rowSeparator, 0xE7E9E2, 1.0)          \
    COLOR(floatingBody, 0xFAFBF8, 0.97)         \
    COLOR(floatingBorder, 0x202721, 0.15)       \
    COLOR(toolbarOuter, 0x263520, 36 / 255.0)   \
    ALIAS(toolbarInner, white)                  \
    COLOR(propertySeparator, 0xDBE0D3, 1.0)     \
    COLOR(fieldBorder, 0xCDD3C5, 1.0)           \
    COLOR(stepperBody, 0xF1F3EE, 1.0)           \
    COLOR(selection, 0xEEF3C9, 1.0)             \
    COLOR(hover, 0xE6E9E2, 1.0)                 \
    COLOR(swatchBorder, 0xD2D6CB, 1.0)          \
    COLOR(swatchSelection, 0x4A5442, 1.0)       \
    COLOR(swatchNone, 0xC3493F, 1.0)            \
    ALIAS(sliderFill, brand)                    \
    COLOR(sliderTrack, 0xE2E6DE, 1.0)           \
    ALIAS(sliderThumb, white)                   \
    COLOR(sliderEdge, 0xA6B33F, 1.0)            \
    COLOR(sliderShadow, 0x202721, 38 / 255.0)   \
    COLOR(pinBorder, 0xA6B58D, 1.0)             \
    COLOR(pinHoverBorder, 0x849765, 1.0)        \
    COLOR(pinShadow, 0x17211A, 1.0)             \
    COLOR(pinControlsBorder, 0x8B947B, 53 / 255.0) \
    COLOR(pinControlHover, 0xE7ECDE, 1.0)       \
    COLOR(pinScale, 0x182D29, 217 / 255.0)      \
    COLOR(loupeGridLight, 0xFFFFFF, 56 / 255.0) \
    COLOR(loupeGridDark, 0x202721, 31 / 255.0)  \
    ALIAS(loupeCross, ink)                      \
    ALIAS(loupeHalo, white)                     \
    ALIAS(loupeTarget, brand)

#define VORLITH_COLOR_NAME(name, ...) name,
    enum class Name { VORLITH_INTERFACE_COLORS(VORLITH_COLOR_NAME, VORLITH_COLOR_NAME) };
#undef VORLITH_COLOR_NAME

    // One row of the palette. An alias has no value of its own.
    struct Entry {
        std::string_view name;
        QRgb rgb = 0; // opaque sRGB, literal entries only
        double alpha = 1; // exact, literal entries only
        std::optional<Name> aliasOf;
    };

    // The row as declared.
    static const Entry& entry(Name name);
    // The entry an alias names, else the entry itself.
    static Name source(Name name);
    // The shared colour object; an alias answers its source's object.
    static const QColor& color(Name name);
    // The exact alpha, aliases resolved.
    static double alpha(Name name);
    // Every row, in declaration order; a Name is its row's index.
    static std::span<const Entry> entries();

#define VORLITH_COLOR_ACCESSOR(name, ...) \
    static const QColor& name() { return color(Name::name); }
    VORLITH_INTERFACE_COLORS(VORLITH_COLOR_ACCESSOR, VORLITH_COLOR_ACCESSOR)
#undef VORLITH_COLOR_ACCESSOR
};

} // namespace vorlith
