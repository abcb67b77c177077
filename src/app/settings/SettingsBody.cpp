#include "app/settings/SettingsBody.h"

#include "app/base/InterfaceColors.h"
#include "app/base/UnflippedFrame.h"

#include <QPainter>
#include <QPainterPath>

namespace vorlith {

SettingsBody::SettingsBody(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(false);
}

void SettingsBody::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const Rect& box : boxes) {
        // The border lies inside the box, as a layer's border does.
        const QRectF outer = UnflippedFrame::toYDown(box, height());
        QPainterPath path;
        path.addRoundedRect(outer.adjusted(0.25, 0.25, -0.25, -0.25), 8.75, 8.75);
        painter.fillPath(path, InterfaceColors::white());
        painter.strokePath(path, QPen(InterfaceColors::groupBorder(), 0.5));
    }
    for (const Rect& line : separators)
        painter.fillRect(UnflippedFrame::toYDown(line, height()), InterfaceColors::rowSeparator());
}

} // namespace vorlith
