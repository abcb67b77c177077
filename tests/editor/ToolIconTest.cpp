#include "app/base/InterfaceColors.h"
#include "app/editor/chrome/ToolIcon.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vorlith;

namespace {

double distanceToPath(const QPainterPath& path, const QPointF& point)
{
    double best = std::numeric_limits<double>::max();
    constexpr int steps = 4000;
    for (int i = 0; i <= steps; ++i) {
        const QPointF p = path.pointAtPercent(double(i) / steps);
        best = std::min(best, std::hypot(p.x() - point.x(), p.y() - point.y()));
    }
    return best;
}

QImage render(const QString& name, const QRectF& rect, QSize size, double ratio = 1)
{
    QImage image((QSizeF(size) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    ToolIcon::draw(painter, name, rect);
    return image;
}

int inkedPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 0;
    return count;
}

} // namespace

TEST(ToolIcon, EveryNameOfTheTableDrawsSomething)
{
    EXPECT_EQ(ToolIcon::names().size(), 21);
    for (const QString& name : ToolIcon::names()) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_FALSE(ToolIcon::elements(name).empty());
        const QImage image = ToolIcon::image(name, InterfaceColors::ink());
        EXPECT_EQ(image.size(), QSize(20, 20));
        EXPECT_GT(inkedPixels(image), 20);
    }
}

TEST(ToolIcon, UnknownNamesDrawNothingAndLeaveThePainterAsItWas)
{
    for (const QString& name : {QString(), QStringLiteral("Select"), QStringLiteral("rectangle")}) {
        EXPECT_TRUE(ToolIcon::elements(name).empty());
        QImage image(24, 24, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setPen(QPen(Qt::red, 3));
        painter.translate(2, 2);
        ToolIcon::draw(painter, name, QRectF(0, 0, 24, 24));
        EXPECT_EQ(painter.pen(), QPen(Qt::red, 3));
        EXPECT_EQ(painter.transform(), QTransform::fromTranslate(2, 2));
        painter.end();
        EXPECT_EQ(inkedPixels(image), 0);
    }
}

TEST(ToolIcon, SelectTipLandsAtTheTopLeftOfTheBox)
{
    // Drawn in a 24-box at 4× so single icon units are easy to sample: the tip (5.5, 3.5) is
    // inked in y-down coordinates (which is (5.5, 20.5) read y-up), and its mirror is not.
    const QImage image = render(QStringLiteral("select"), QRectF(0, 0, 24, 24), QSize(24, 24), 4);
    const auto alphaAt = [&](double x, double y) { return qAlpha(image.pixel(int(x * 4), int(y * 4))); };
    EXPECT_GT(alphaAt(5.6, 3.7), 200);
    EXPECT_EQ(alphaAt(5.5, 20.5), 0);
    // The line is 1.8 units wide: 1 unit off the edge (19, 13)–(12, 14) is still inside it.
    EXPECT_EQ(qRed(image.pixel(int(5.6 * 4), int(3.7 * 4))), InterfaceColors::ink().red());
}

TEST(ToolIcon, LineWidthScalesWithTheRectangle)
{
    // A horizontal stroke of "text" (y = 4 from x 5 to 19): its thickness is 1.8 units.
    for (double side : {24.0, 20.0, 48.0}) {
        const QImage image = render(QStringLiteral("text"), QRectF(0, 0, side, side), QSize(int(side), int(side)), 8);
        const int column = int(side / 24 * 9 * 8); // x = 9 units, well inside the bar
        int rows = 0;
        for (int y = 0; y < image.height() / 2; ++y)
            rows += qAlpha(image.pixel(column, y)) > 127;
        EXPECT_NEAR(rows / 8.0, 1.8 * side / 24, 0.2) << side;
    }
}

TEST(ToolIcon, RedoIsTheMirrorOfUndo)
{
    const auto undo = ToolIcon::elements(QStringLiteral("undo"));
    const auto redo = ToolIcon::elements(QStringLiteral("redo"));
    ASSERT_EQ(undo.size(), redo.size());
    // Undo's arrowhead (8,5) (3,10) (8,15), shifted by (1, −0.5).
    ASSERT_EQ(undo[0].path.elementCount(), 3);
    EXPECT_EQ(QPointF(undo[0].path.elementAt(1)), QPointF(4, 9.5));
    for (size_t i = 0; i < undo.size(); ++i) {
        ASSERT_EQ(undo[i].path.elementCount(), redo[i].path.elementCount());
        for (int k = 0; k < undo[i].path.elementCount(); ++k) {
            const QPointF u = undo[i].path.elementAt(k);
            const QPointF r = redo[i].path.elementAt(k);
            EXPECT_DOUBLE_EQ(r.x(), 24 - u.x());
            EXPECT_DOUBLE_EQ(r.y(), u.y());
        }
    }
    // The pen is shifted by (1, −1): its first point (4, 16) is at (5, 15).
    EXPECT_EQ(QPointF(ToolIcon::elements(QStringLiteral("pen"))[0].path.elementAt(0)), QPointF(5, 15));
}

TEST(ToolIcon, ArcsRunThroughTheirStartMiddleAndEndPoints)
{
    struct Arc {
        const char* icon;
        size_t element;
        QPointF start, via, end;
    };
    const Arc arcs[] = {
        {"edit", 0, {15.5, 4}, {16.5, 3.58}, {17.5, 4}},
        {"edit", 0, {20, 6.5}, {20.42, 7.5}, {20, 8.5}},
        {"hide", 0, {21, 12}, {19.158, 14.158}, {17, 16}},
        {"hide", 2, {7, 17}, {4.628, 14.797}, {3, 12}},
        {"hide", 3, {10, 10}, {10.586, 13.414}, {14, 14}},
        {"reopen", 0, {4, 10}, {19.295, 12.151}, {5, 18}},
    };
    for (const Arc& arc : arcs) {
        SCOPED_TRACE(std::string(arc.icon) + " via " + std::to_string(arc.via.x()));
        const auto elements = ToolIcon::elements(QString::fromLatin1(arc.icon));
        ASSERT_GT(elements.size(), arc.element);
        const QPainterPath& path = elements[arc.element].path;
        EXPECT_LT(distanceToPath(path, arc.start), 0.01);
        EXPECT_LT(distanceToPath(path, arc.via), 0.01) << "the arc turns the right way round";
        EXPECT_LT(distanceToPath(path, arc.end), 0.01);
    }
    // The reopen sweep goes about 299° round: it passes the far side of its centre.
    const QPainterPath sweep = ToolIcon::elements(QStringLiteral("reopen"))[0].path;
    EXPECT_LT(distanceToPath(sweep, QPointF(11.3568, 13.1429 + 8)), 0.01);
    EXPECT_LT(distanceToPath(sweep, QPointF(11.3568, 13.1429 - 8)), 0.01);
}
