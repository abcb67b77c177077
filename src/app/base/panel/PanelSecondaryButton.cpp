#include "app/base/panel/PanelSecondaryButton.h"

#include "app/base/InterfaceFonts.h"
#include "app/base/panel/PanelControlDrawing.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace vorlith {

namespace {

constexpr double horizontalInset = 10;
constexpr double imageBox = 16;
constexpr double imageAdvance = 24; // the image's box and the gap before the title

} // namespace

PanelSecondaryButton::PanelSecondaryButton(const QString& title, QWidget* parent) : QPushButton(title, parent)
{
    setFont(InterfaceFonts::system(12));
    setFlat(true);
    setFocusPolicy(Qt::TabFocus);
}

void PanelSecondaryButton::setImage(const QImage& image)
{
    m_image = image;
    update();
}

void PanelSecondaryButton::setImagePosition(ImagePosition position)
{
    m_imagePosition = position;
    update();
}

bool PanelSecondaryButton::drawsLeadingImage() const
{
    const QSizeF size = m_image.deviceIndependentSize();
    return !m_image.isNull() && m_imagePosition == ImagePosition::leading && size.width() > 0 && size.height() > 0;
}

PanelSecondaryButton::ContentLayout PanelSecondaryButton::contentLayout() const
{
    const QRectF bounds = rect();
    const QRectF content = bounds.adjusted(horizontalInset, 0, -horizontalInset, 0);
    if (!drawsLeadingImage())
        return {std::nullopt, content};

    const double titleWidth = QFontMetricsF(font()).horizontalAdvance(text());
    const double contentWidth = std::min(titleWidth + imageAdvance, content.width());
    const double left = bounds.center().x() - contentWidth / 2;
    const QSizeF size = m_image.deviceIndependentSize();
    const double scale = std::min(imageBox / size.width(), imageBox / size.height());
    const QSizeF scaled = size * scale;
    const QRectF image(left + (imageBox - scaled.width()) / 2, (bounds.height() - scaled.height()) / 2,
                       scaled.width(), scaled.height());
    return {image, QRectF(left + imageAdvance, 0, std::max(0.0, contentWidth - imageAdvance), bounds.height())};
}

QString PanelSecondaryButton::displayedTitle() const
{
    return QFontMetricsF(font()).elidedText(text(), Qt::ElideMiddle, contentLayout().text.width());
}

void PanelSecondaryButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    panelControlDrawing::background(painter, rect(), isDown());

    const ContentLayout layout = contentLayout();
    if (layout.image) {
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setOpacity(isEnabled() ? 1.0 : panelControlDrawing::disabledOpacity);
        painter.drawImage(*layout.image, m_image);
        painter.restore();
    }

    const QFontMetricsF metrics(font());
    const double titleHeight = metrics.height();
    const QRectF titleRect(layout.text.x(), layout.text.y() + (layout.text.height() - titleHeight) / 2,
                           layout.text.width(), titleHeight);
    painter.setFont(font());
    painter.setPen(panelControlDrawing::titleColor(isEnabled()));
    painter.drawText(titleRect, Qt::AlignCenter | Qt::TextSingleLine, displayedTitle());

    if (hasFocus())
        panelControlDrawing::focusRing(painter, rect(), 6);
}

} // namespace vorlith
