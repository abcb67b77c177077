#include "app/editor/chrome/ToolIcon.h"

#include "app/base/InterfaceColors.h"

#include <QPainter>
#include <QTransform>

#include <cmath>
#include <initializer_list>
#include <numbers>

namespace vorlith {

namespace {

using Element = ToolIcon::Element;
using Elements = std::vector<Element>;

Element polyline(std::initializer_list<double> xy, bool closed = false)
{
    Q_ASSERT(xy.size() % 2 == 0 && xy.size() >= 4);
    QPainterPath path;
    const double* v = xy.begin();
    path.moveTo(v[0], v[1]);
    for (size_t i = 2; i + 1 < xy.size(); i += 2)
        path.lineTo(v[i], v[i + 1]);
    if (closed)
        path.closeSubpath();
    return {path, false};
}

Element closedPolyline(std::initializer_list<double> xy)
{
    return polyline(xy, true);
}

Element roundedRect(double x, double y, double w, double h, double r)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(x, y, w, h), r, r);
    return {path, false};
}

Element ellipse(double x, double y, double w, double h)
{
    QPainterPath path;
    path.addEllipse(QRectF(x, y, w, h));
    return {path, false};
}

Element filledSquare(double x, double y, double w, double h)
{
    QPainterPath path;
    path.addRect(QRectF(x, y, w, h));
    return {path, true};
}

// A circular arc from the path's current point, centre c, radius r, angles measured from +x
// towards +y (downwards on screen). Not clockwise: the angle increases along the arc.
void arc(QPainterPath& path, QPointF c, double r, double a0, double a1, bool clockwise)
{
    double sweep = a1 - a0;
    if (!clockwise && sweep < 0)
        sweep += 2 * std::numbers::pi;
    if (clockwise && sweep > 0)
        sweep -= 2 * std::numbers::pi;
    // Qt's angles run the other way round (positive is up on a y-down screen).
    const double toDegrees = 180 / std::numbers::pi;
    path.arcTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), -a0 * toDegrees, -sweep * toDegrees);
}

Elements undoElements()
{
    QPainterPath tail;
    tail.moveTo(3, 10);
    tail.lineTo(13, 10);
    tail.cubicTo(21, 10, 21, 20, 13, 20);
    return {polyline({8, 5, 3, 10, 8, 15}), {tail, false}};
}

Elements hideElements()
{
    QPainterPath lid;
    lid.moveTo(3, 12);
    lid.cubicTo(3, 12, 6, 6, 12, 6);
    lid.cubicTo(18, 6, 21, 12, 21, 12);
    arc(lid, {6.4302, 1.4302}, 18, 0.6276, 0.9432, false);
    QPainterPath lower;
    lower.moveTo(7, 17);
    arc(lower, {13.2177, 7.9258}, 11, 2.1715, 2.7622, false);
    QPainterPath pupil;
    pupil.moveTo(10, 10);
    arc(pupil, {12.7071, 11.2929}, 3, -2.6960, 1.1252, true);
    return {{lid, false}, polyline({5, 3, 20, 20}), {lower, false}, {pupil, false}};
}

Elements editElements()
{
    QPainterPath pencil;
    pencil.moveTo(5, 14.5);
    pencil.lineTo(15.5, 4);
    arc(pencil, {16.5, 4.9798}, 1.4, -2.3664, -0.7752, false);
    pencil.lineTo(20, 6.5);
    arc(pencil, {19.0202, 7.5}, 1.4, -0.7956, 0.7956, false);
    pencil.lineTo(9.5, 19);
    pencil.lineTo(5, 19);
    pencil.closeSubpath();
    return {{pencil, false}, polyline({13.5, 6, 18, 10.5})};
}

Elements reopenElements()
{
    QPainterPath sweep;
    sweep.moveTo(4, 10);
    arc(sweep, {11.3568, 13.1429}, 8, -2.7378, 2.4891, false);
    return {{sweep, false}, polyline({4, 4, 4, 10, 10, 10}), polyline({12, 8, 12, 13, 15, 15})};
}

Elements unshifted(const QString& name)
{
    if (name == QStringLiteral("select"))
        return {closedPolyline({5.5, 3.5, 19, 13, 12, 14, 9, 20.5})};
    if (name == QStringLiteral("shape"))
        return {roundedRect(3.5, 4.5, 17, 15, 3)};
    if (name == QStringLiteral("ellipse"))
        return {ellipse(3, 5, 18, 14)};
    if (name == QStringLiteral("line"))
        return {polyline({4.5, 19.5, 19.5, 4.5})};
    if (name == QStringLiteral("arrow"))
        return {polyline({4.5, 19.5, 19.5, 4.5}), polyline({11, 4.5, 19.5, 4.5, 19.5, 13})};
    if (name == QStringLiteral("pen"))
        return {closedPolyline({4, 16, 15, 5, 19, 9, 8, 20, 3, 21}), polyline({13, 7, 17, 11}),
                polyline({4, 16, 8, 20})};
    if (name == QStringLiteral("highlight"))
        return {closedPolyline({7.5, 12.5, 14, 4, 19.5, 8.5, 13, 17.5}),
                closedPolyline({7.5, 12.5, 13, 17.5, 9, 19.5, 5.5, 16.5}), polyline({4.5, 20.5, 19.5, 20.5})};
    if (name == QStringLiteral("text"))
        return {polyline({5, 6, 5, 4, 19, 4, 19, 6}), polyline({12, 4, 12, 20}), polyline({8.5, 20, 15.5, 20})};
    if (name == QStringLiteral("mosaic"))
        return {roundedRect(4, 4, 16, 16, 2), polyline({4, 12, 20, 12}), polyline({12, 4, 12, 20}),
                filledSquare(5, 5, 6, 6), filledSquare(13, 13, 6, 6)};
    if (name == QStringLiteral("number"))
        return {ellipse(3.5, 3.5, 17, 17), polyline({9.5, 9, 12, 7.5, 12, 16}), polyline({9.5, 16, 14.5, 16})};
    if (name == QStringLiteral("pin"))
        return {polyline({8, 4, 16, 4}), polyline({9, 4, 9, 10, 6, 14, 6, 15, 18, 15, 18, 14, 15, 10, 15, 4}),
                polyline({12, 15, 12, 21})};
    if (name == QStringLiteral("done"))
        return {polyline({5, 12, 10, 17, 19, 7})};
    if (name == QStringLiteral("check"))
        return {polyline({5, 12.5, 9.5, 17, 19, 7})};
    if (name == QStringLiteral("edit"))
        return editElements();
    if (name == QStringLiteral("hide"))
        return hideElements();
    if (name == QStringLiteral("reopen"))
        return reopenElements();
    if (name == QStringLiteral("undo") || name == QStringLiteral("redo"))
        return undoElements();
    if (name == QStringLiteral("save"))
        return {polyline({12, 4, 12, 15}), polyline({7, 10, 12, 15, 17, 10}), polyline({4, 16, 4, 20, 20, 20, 20, 16})};
    if (name == QStringLiteral("copy"))
        return {roundedRect(8.5, 8.5, 10.5, 11.5, 2), polyline({14.5, 8.5, 14.5, 4, 4, 4, 4, 15.5, 8.5, 15.5})};
    if (name == QStringLiteral("exit"))
        return {polyline({5, 5, 19, 19}), polyline({19, 5, 5, 19})};
    return {};
}

// The pre-shift of the three icons that would otherwise look off-centre, and the mirror that
// makes "redo" from "undo".
QTransform placement(const QString& name)
{
    QTransform t;
    if (name == QStringLiteral("pen"))
        t.translate(1, -1);
    else if (name == QStringLiteral("undo"))
        t.translate(1, -0.5);
    else if (name == QStringLiteral("redo")) {
        t.translate(-1, -0.5);
        t.translate(24, 0);
        t.scale(-1, 1);
    }
    return t;
}

} // namespace

const QStringList& ToolIcon::names()
{
    static const QStringList all{
        QStringLiteral("select"), QStringLiteral("shape"),  QStringLiteral("ellipse"), QStringLiteral("line"),
        QStringLiteral("arrow"),  QStringLiteral("pen"),    QStringLiteral("highlight"), QStringLiteral("text"),
        QStringLiteral("mosaic"), QStringLiteral("number"), QStringLiteral("pin"),     QStringLiteral("done"),
        QStringLiteral("check"),  QStringLiteral("edit"),   QStringLiteral("hide"),    QStringLiteral("reopen"),
        QStringLiteral("undo"),   QStringLiteral("redo"),   QStringLiteral("save"),    QStringLiteral("copy"),
        QStringLiteral("exit"),
    };
    return all;
}

std::vector<ToolIcon::Element> ToolIcon::elements(const QString& name)
{
    Elements result = unshifted(name);
    const QTransform t = placement(name);
    if (!t.isIdentity()) {
        for (Element& e : result)
            e.path = t.map(e.path);
    }
    return result;
}

void ToolIcon::draw(QPainter& painter, const QString& name, const QRectF& rect, const QColor& ink)
{
    const Elements icon = elements(name);
    if (icon.empty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.topLeft());
    painter.scale(rect.width() / unitBox, rect.height() / unitBox);
    QPen pen(ink, lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    for (const Element& e : icon) {
        if (e.filled) {
            painter.fillPath(e.path, ink);
        } else {
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(e.path);
        }
    }
    painter.restore();
}

void ToolIcon::draw(QPainter& painter, const QString& name, const QRectF& rect)
{
    draw(painter, name, rect, InterfaceColors::ink());
}

QImage ToolIcon::image(const QString& name, const QColor& ink, double pixelRatio)
{
    const int side = int(std::ceil(imageSize * pixelRatio));
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    draw(painter, name, QRectF(0, 0, imageSize, imageSize), ink);
    return image;
}

} // namespace vorlith
