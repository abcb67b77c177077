#include "app/base/InterfaceFonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace vorlith {

namespace {

QFont::Weight qtWeight(InterfaceFonts::Weight weight)
{
    switch (weight) {
    case InterfaceFonts::Weight::medium:
        return QFont::Medium;
    case InterfaceFonts::Weight::semibold:
        return QFont::DemiBold;
    case InterfaceFonts::Weight::regular:
        break;
    }
    return QFont::Normal;
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

QFont InterfaceFonts::system(double pixelSize, Weight weight)
{
    QFont font;
    font.setFamilies({QString::fromLatin1(latinFamily), QString::fromLatin1(chineseFamily)});
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setPixelSize(std::max(1, int(pixelSize + 0.5)));
    font.setWeight(qtWeight(weight));
    return font;
}

void InterfaceFonts::applyToApplication()
{
    static bool applied = false;
    if (applied || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    applied = true;
    QApplication::setFont(system(applicationPixelSize));
    QToolTip::setFont(system(toolTipPixelSize));
}

double InterfaceFonts::digitAdvance(const QFont& font)
{
    const QFontMetricsF metrics(font);
    double widest = 0;
    for (char digit = '0'; digit <= '9'; ++digit)
        widest = std::max(widest, metrics.horizontalAdvance(QLatin1Char(digit)));
    return widest;
}

double InterfaceFonts::monospacedDigitWidth(const QString& text, const QFont& font)
{
    const QFontMetricsF metrics(font);
    const double advance = digitAdvance(font);
    double width = 0;
    QString run;
    for (QChar c : text) {
        if (isDigit(c)) {
            width += metrics.horizontalAdvance(run) + advance;
            run.clear();
        } else {
            run.append(c);
        }
    }
    return width + metrics.horizontalAdvance(run);
}

void InterfaceFonts::drawMonospacedDigits(QPainter& painter, const QPointF& baselineOrigin, const QString& text,
                                          const QFont& font)
{
    const QFontMetricsF metrics(font);
    const double advance = digitAdvance(font);
    painter.save();
    painter.setFont(font);
    double x = baselineOrigin.x();
    QString run;
    auto flush = [&] {
        if (run.isEmpty())
            return;
        painter.drawText(QPointF(x, baselineOrigin.y()), run);
        x += metrics.horizontalAdvance(run);
        run.clear();
    };
    for (QChar c : text) {
        if (!isDigit(c)) {
            run.append(c);
            continue;
        }
        flush();
        const double own = metrics.horizontalAdvance(c);
        painter.drawText(QPointF(x + (advance - own) / 2, baselineOrigin.y()), QString(c));
        x += advance;
    }
    flush();
    painter.restore();
}

bool InterfaceFonts::available()
{
    const QStringList families = QFontDatabase::families();
    return families.contains(QString::fromLatin1(latinFamily)) && families.contains(QString::fromLatin1(chineseFamily));
}

} // namespace vorlith
