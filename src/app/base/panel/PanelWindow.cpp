#include "app/base/panel/PanelWindow.h"

#include "app/base/InterfaceColors.h"

#include <QKeyEvent>
#include <QPainter>

namespace vorlith {

PanelWindow::PanelWindow()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
}

void PanelWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        escape();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PanelWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), InterfaceColors::panelBody());
}

QLabel* makePanelLabel(QWidget* parent, const QString& text, const QFont& font, const QColor& color)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

} // namespace vorlith
