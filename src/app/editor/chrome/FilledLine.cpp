#include "app/editor/chrome/FilledLine.h"

#include <QPainter>

namespace vorlith {

FilledLine::FilledLine(const QColor& color, QWidget* parent) : QWidget(parent), m_color(color)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void FilledLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_color);
}

} // namespace vorlith
