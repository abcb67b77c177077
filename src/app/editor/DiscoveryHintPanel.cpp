#include "app/editor/DiscoveryHintPanel.h"

#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"
#include "app/base/RoundedWindowMask.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace vorlith {

namespace {

QFont hintFont()
{
    return InterfaceFonts::system(11);
}

} // namespace

DiscoveryHintPanel::DiscoveryHintPanel(QString text, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus
                          | Qt::WindowTransparentForInput | Qt::NoDropShadowWindowHint),
      m_text(std::move(text))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(m_text);
    resize(int(std::ceil(preferredWidth())), int(height));
}

double DiscoveryHintPanel::preferredWidth() const
{
    return QFontMetricsF(hintFont()).horizontalAdvance(m_text) + 20;
}

void DiscoveryHintPanel::setComposited(bool composited)
{
    if (composited == m_composited)
        return;
    m_composited = composited;
    applyMask();
}

void DiscoveryHintPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    applyMask();
}

void DiscoveryHintPanel::applyMask()
{
    if (m_composited)
        clearMask();
    else
        setMask(roundedWindowMask(QRectF(rect()), cornerRadius));
}

void DiscoveryHintPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(InterfaceColors::feedbackBody());
    painter.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.setFont(hintFont());
    painter.setPen(InterfaceColors::white());
    painter.drawText(QRectF(10, 5, width() - 20, 15), Qt::AlignLeft | Qt::AlignVCenter, m_text);
}

} // namespace vorlith
