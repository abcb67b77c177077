#include "app/output/feedback/ToastSymbolView.h"

#include "app/base/InterfaceColors.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace vorlith {

namespace {

constexpr int spinnerSpokes = 8;

void paintSpinner(QPainter& painter, const QRectF& box, const QColor& tint, int step)
{
    const QPointF centre = box.center();
    const double outer = std::min(box.width(), box.height()) / 2 - 1;
    const double inner = outer * 0.45;
    for (int i = 0; i < spinnerSpokes; ++i) {
        // The leading spoke is darkest; the ones behind it fade.
        const int age = (step - i + spinnerSpokes) % spinnerSpokes;
        QColor c = tint;
        c.setAlphaF(float(1.0 - age * 0.11));
        const double angle = 2 * M_PI * i / spinnerSpokes - M_PI / 2;
        const QPointF dir(std::cos(angle), std::sin(angle));
        painter.setPen(QPen(c, 1.8, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(centre + dir * inner, centre + dir * outer);
    }
}

} // namespace

ToastSymbolView::ToastSymbolView(QWidget* parent) : QWidget(parent), m_tint(InterfaceColors::ink())
{
    setAttribute(Qt::WA_TranslucentBackground);
    m_timer.setInterval(80);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % spinnerSpokes;
        update();
    });
}

void ToastSymbolView::setKind(Kind kind, const QColor& tint)
{
    m_kind = kind;
    m_tint = tint;
    update();
}

void ToastSymbolView::setSpinning(bool spinning)
{
    if (spinning)
        m_timer.start();
    else
        m_timer.stop();
}

void ToastSymbolView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintSymbol(painter, QRectF(rect()), m_kind, m_tint, m_step);
}

void ToastSymbolView::paintSymbol(QPainter& painter, const QRectF& box, Kind kind, const QColor& tint, int step)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF c = box.center();
    const double r = std::min(box.width(), box.height()) / 2 - 1;
    const QPen line(tint, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (kind) {
    case Kind::spinner:
        paintSpinner(painter, box, tint, step);
        break;
    case Kind::close: {
        const double d = r * 0.5;
        painter.setPen(QPen(tint, 1.4, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(c + QPointF(-d, -d), c + QPointF(d, d));
        painter.drawLine(c + QPointF(-d, d), c + QPointF(d, -d));
        break;
    }
    case Kind::success: {
        painter.setPen(line);
        painter.drawEllipse(c, r, r);
        QPainterPath tick;
        tick.moveTo(c + QPointF(-r * 0.42, r * 0.02));
        tick.lineTo(c + QPointF(-r * 0.1, r * 0.34));
        tick.lineTo(c + QPointF(r * 0.45, -r * 0.3));
        painter.drawPath(tick);
        break;
    }
    case Kind::notice:
    case Kind::failure: {
        painter.setPen(line);
        painter.drawEllipse(c, r, r);
        // An "i" has its dot on top; an exclamation mark at the bottom.
        const bool info = kind == Kind::notice;
        const double dotY = info ? -r * 0.42 : r * 0.45;
        const double from = info ? -r * 0.1 : -r * 0.5;
        const double to = info ? r * 0.48 : r * 0.12;
        painter.drawLine(c + QPointF(0, from), c + QPointF(0, to));
        painter.setPen(Qt::NoPen);
        painter.setBrush(tint);
        painter.drawEllipse(c + QPointF(0, dotY), 1.1, 1.1);
        break;
    }
    }
    painter.restore();
}

ToastCloseButton::ToastCloseButton(QWidget* parent) : QAbstractButton(parent)
{
    setAccessibleName(QStringLiteral("关闭提示"));
    setToolTip(QStringLiteral("关闭提示"));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void ToastCloseButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF box = QRectF(rect()).adjusted(3, 3, -3, -3);
    ToastSymbolView::paintSymbol(painter, box, ToastSymbolView::Kind::close, InterfaceColors::secondary());
}

} // namespace vorlith
