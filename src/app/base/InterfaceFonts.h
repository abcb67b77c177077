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

    // True when both families are installed.
    [[nodiscard]] static bool available();
};

} // namespace vorlith
