#pragma once

#include <QFont>
#include <QPointF>
#include <QString>

class QPainter;

namespace vorlith {

// Every interface font, made in one place from the descriptions "system N, weight W" and
// "monospaced-digit": Inter for Latin and digits (Regular, Medium, SemiBold), Noto Sans CJK SC
// for Chinese, N in logical pixels. Families are named outright, never left to fallback.
// (Marks have their own fonts, rendering/FontFactory.)
class InterfaceFonts {
public:
    enum class Weight { regular, medium, semibold };

    static constexpr const char* latinFamily = "Inter";
    static constexpr const char* chineseFamily = "Noto Sans CJK SC";

    [[nodiscard]] static QFont system(double pixelSize, Weight weight = Weight::regular);

    // Qt 6.4 cannot ask a font for tabular figures, so monospaced digits are laid out by
    // hand: each digit on the advance of the widest digit, centred in it.
    [[nodiscard]] static double digitAdvance(const QFont& font);
    [[nodiscard]] static double monospacedDigitWidth(const QString& text, const QFont& font);
    // Draws the text from its baseline origin with digits on equal advances.
    static void drawMonospacedDigits(QPainter& painter, const QPointF& baselineOrigin, const QString& text,
                                     const QFont& font);

    // Makes the interface fonts the application's and the tool tips' fonts (Qt's own controls
    // and tool tips would otherwise fall back by locale: under C.UTF-8 to Japanese glyph
    // forms of the hanzi). Once per process; every window that shows Qt's controls calls it.
    static void applyToApplication();
    // The fonts it gives: Qt's controls at system 13, tool tips at system 12.
    static constexpr double applicationPixelSize = 13;
    static constexpr double toolTipPixelSize = 12;

    // True when both families are installed.
    [[nodiscard]] static bool available();
};

} // namespace vorlith
