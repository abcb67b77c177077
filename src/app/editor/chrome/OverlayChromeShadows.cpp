#include "app/editor/chrome/OverlayChromeShadows.h"

#include <QPainter>

namespace vorlith {

OverlayChromeShadows::OverlayChromeShadows(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
}

void OverlayChromeShadows::setItems(std::vector<Item> items)
{
    if (items == m_items)
        return;
    m_items = std::move(items);
    ++m_rebuilds;
    update();
}

void OverlayChromeShadows::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    for (const Item& item : m_items) {
        const QRectF frame = toQRectF(item.frame);
        for (const Layer& layer : item.layers)
            m_painter.paint(painter, frame, item.radius, {QPointF(0, layer.offset), layer.blur, layer.color});
    }
}

} // namespace vorlith
