#pragma once

#include <QFontMetricsF>
#include <QString>
#include <QStringList>

namespace vorlith {

// The text of a toast: its lines, and the suffixes the failure head carries. A message may
// hold several lines ("保存失败：…" and "截图与保存设置已保留，可重试。"); the suffix telling how
// many failures wait behind the head is appended to the last one and must stay readable.
namespace ToastText {

// "（请先处理或关闭已有提示）": too many toasts are pending.
QString capSuffix();
// "（另有N项待处理，关闭后查看）": N other failures wait in the queue.
QString queueSuffix(qsizetype others);

QStringList lines(const QString& text);
// The width of the widest line.
double widestLine(const QString& text, const QFontMetricsF& metrics);
// Every line fitted to `width`: a line too wide is cut at its end with "…", except that a
// cap or queue suffix ending the text stays whole and the words before it are cut instead.
QStringList fittedLines(const QString& text, const QFontMetricsF& metrics, double width);

} // namespace ToastText

} // namespace vorlith
