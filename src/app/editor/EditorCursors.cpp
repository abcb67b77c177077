#include "app/editor/EditorCursors.h"

#include "app/base/InterfaceColors.h"
#include "app/base/YUpSpace.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>

#include <initializer_list>

namespace vorlith::editorCursors {

namespace {

// The shapes are drawn as designed, in a y-up image, at the screen's pixel density.
struct CursorCanvas {
    QPixmap pixmap;
    YUpSpace space;

    explicit CursorCanvas(int side) : space(YUpSpace::ofView(side))
    {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const double ratio = screen ? screen->devicePixelRatio() : 1.0;
        pixmap = QPixmap(QSize(side, side) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
    }

    QPainterPath path(std::initializer_list<Point> yUp, bool closed) const
    {
        QPainterPath p;
        bool first = true;
        for (const Point& point : yUp) {
            const QPointF q = toQPointF(space.toYDown(point));
            first ? p.moveTo(q) : p.lineTo(q);
            first = false;
        }
        if (closed)
            p.closeSubpath();
        return p;
    }
};

QCursor twoHeadedArrow(std::initializer_list<Point> line, std::initializer_list<Point> head1,
                       std::initializer_list<Point> head2)
{
    CursorCanvas canvas(24);
    QPainterPath shape = canvas.path(line, false);
    shape.addPath(canvas.path(head1, false));
    shape.addPath(canvas.path(head2, false));
    QPainter painter(&canvas.pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const auto& [color, width] : {std::pair{QColor(Qt::white), 4.0}, std::pair{QColor(Qt::black), 2.0}}) {
        painter.strokePath(shape, QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }
    painter.end();
    return QCursor(canvas.pixmap, 12, 12);
}

} // namespace

const QCursor& penCursor()
{
    static const QCursor cursor = [] {
        CursorCanvas canvas(26);
        const QPainterPath pen = canvas.path({{5, 5}, {8, 14}, {19, 25}, {25, 19}, {14, 8}}, true);
        QPainter painter(&canvas.pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(pen, InterfaceColors::white());
        painter.strokePath(pen, QPen(InterfaceColors::ink(), 1.5));
        painter.end();
        const Point tip = canvas.space.toYDown({5, 5});
        return QCursor(canvas.pixmap, int(tip.x), int(tip.y));
    }();
    return cursor;
}

const QCursor& diagonalDown()
{
    static const QCursor cursor = twoHeadedArrow({{5, 19}, {19, 5}}, {{5, 13}, {5, 19}, {11, 19}},
                                                 {{13, 5}, {19, 5}, {19, 11}});
    return cursor;
}

const QCursor& diagonalUp()
{
    static const QCursor cursor = twoHeadedArrow({{5, 5}, {19, 19}}, {{5, 11}, {5, 5}, {11, 5}},
                                                 {{13, 19}, {19, 19}, {19, 13}});
    return cursor;
}

} // namespace vorlith::editorCursors
