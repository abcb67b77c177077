#pragma once

#include "app/shell/TerminationReviewView.h"
#include "rendering/Bitmap.h"

#include <QColor>
#include <QImage>
#include <QPainter>

namespace vorlith::test {

inline const QColor reviewRed(220, 40, 40);

// A screenshot-like picture: a desktop, a window with a title bar and lines of text, and a
// red arrow drawn over it, `scale` pixels per point.
inline QImage screenshot(Size logical, double scale, const QColor& desktop)
{
    QImage image = Bitmap::create(int(logical.width * scale), int(logical.height * scale));
    QPainter painter(&image);
    painter.scale(scale, scale);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRectF(0, 0, logical.width, logical.height), desktop);
    const QRectF window(logical.width * 0.15, logical.height * 0.15, logical.width * 0.6, logical.height * 0.6);
    painter.fillRect(window, QColor(250, 250, 250));
    painter.fillRect(QRectF(window.topLeft(), QSizeF(window.width(), 24)), QColor(60, 64, 72));
    painter.setPen(QPen(QColor(150, 150, 160), 2));
    for (double y = window.top() + 40; y < window.bottom() - 10; y += 14)
        painter.drawLine(QPointF(window.left() + 12, y), QPointF(window.right() - 40, y));
    painter.setPen(QPen(reviewRed, 6, Qt::SolidLine, Qt::RoundCap));
    const QPointF tip(window.right() - 20, window.top() + 50);
    painter.drawLine(QPointF(window.left() + 30, window.bottom() - 20), tip);
    painter.drawLine(tip, tip + QPointF(-22, 0));
    painter.drawLine(tip, tip + QPointF(0, 22));
    return image;
}

inline QList<TerminationReviewView::Entry> screenshotEntries(int count)
{
    const char* titles[] = {TerminationReviewView::currentCaptureTitle, TerminationReviewView::pinnedImageTitle,
                            TerminationReviewView::lastCaptureTitle, TerminationReviewView::pinnedImageTitle};
    const QColor desktops[] = {QColor(70, 110, 160), QColor(120, 90, 150), QColor(60, 140, 120), QColor(170, 120, 60)};
    const Rect selections[] = {{60, 40, 400, 240}, {0, 0, 300, 300}, {100, 60, 200, 360}, {40, 40, 520, 120}};
    QList<TerminationReviewView::Entry> entries;
    for (int i = 0; i < count; ++i)
        entries.append({QUuid::createUuid(), QString::fromUtf8(titles[i % 4]), screenshot({640, 400}, 2, desktops[i % 4]),
                        selections[i % 4], {640, 400}});
    return entries;
}

} // namespace vorlith::test
