#include "app/output/feedback/ToastText.h"

#include <QRegularExpression>

#include <algorithm>

namespace vorlith::ToastText {

namespace {

// The length of a cap or queue suffix ending the line, 0 without one.
qsizetype suffixLength(const QString& line)
{
    if (line.endsWith(capSuffix()))
        return capSuffix().size();
    static const QRegularExpression queue(QStringLiteral("（另有\\d+项待处理，关闭后查看）$"));
    const QRegularExpressionMatch match = queue.match(line);
    return match.hasMatch() ? match.capturedLength() : 0;
}

} // namespace

QString capSuffix()
{
    return QStringLiteral("（请先处理或关闭已有提示）");
}

QString queueSuffix(qsizetype others)
{
    return QStringLiteral("（另有%1项待处理，关闭后查看）").arg(others);
}

QStringList lines(const QString& text)
{
    return text.split(QLatin1Char('\n'));
}

double widestLine(const QString& text, const QFontMetricsF& metrics)
{
    double widest = 0;
    for (const QString& line : lines(text))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

QStringList fittedLines(const QString& text, const QFontMetricsF& metrics, double width)
{
    QStringList out = lines(text);
    for (qsizetype index = 0; index < out.size(); ++index) {
        QString& line = out[index];
        if (metrics.horizontalAdvance(line) <= width)
            continue;
        const qsizetype kept = index + 1 == out.size() ? suffixLength(line) : 0;
        const QString suffix = line.right(kept);
        const double room = std::max(width - metrics.horizontalAdvance(suffix), 0.0);
        line = metrics.elidedText(line.left(line.size() - kept), Qt::ElideRight, room) + suffix;
    }
    return out;
}

} // namespace vorlith::ToastText
