#include "app/output/feedback/OutputToastRenderer.h"
#include "app/output/feedback/OutputToastSurface.h"
#include "output/ToastFixture.h"
#include "support/TestSupport.h"

#include <QPainter>
#include <QWidget>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

struct Look {
    const char* name;
    bool progress;
    std::optional<QString> title;
    bool failed;
    bool notice;
};

const Look looks[] = {
    {"progress", true, QStringLiteral("取消"), false, false},
    {"success", false, std::nullopt, false, false},
    {"notice", false, std::nullopt, false, true},
    {"failure-retry", false, QStringLiteral("重试"), true, false},
    {"failure-details", false, QStringLiteral("详情"), true, false},
    {"failure-plain", false, std::nullopt, true, false},
};

const QString shortMessage = QStringLiteral("已复制到剪贴板");
const QString longMessage = QStringLiteral(
    "无法保存图片：目标文件夹“/home/user/图片/截图/2024 年 五月 项目 Vorlith 评审资料”不可写入。截图与保存设置已保留，可重试。");
// A save failure as the coordinator shows it at the head of a queue of three.
const QString twoLineMessage = QStringLiteral("保存失败：磁盘空间不足\n截图与保存设置已保留，可重试。（另有2项待处理，关闭后查看）");

// A backdrop with stripes and squares of several colours, so that translucency and the shadow
// show against both light and dark.
void paintBackdrop(QPainter& painter, const QSize& size)
{
    painter.fillRect(QRect(QPoint(0, 0), size), QColor(236, 240, 232));
    for (int x = -size.height(); x < size.width(); x += 24)
        painter.fillRect(QRect(x, 0, 12, size.height()), QColor(204, 214, 196));
    for (int y = 0; y < size.height(); y += 64)
        for (int x = (y / 64 % 2) * 64; x < size.width(); x += 128)
            painter.fillRect(QRect(x, y, 64, 64), QColor(60, 90, 140, 90));
}

QImage renderPanel(QWidget* panel, double scale)
{
    const QSize logical = panel->size();
    QImage image((QSizeF(logical) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    QPainter painter(&image);
    paintBackdrop(painter, logical);
    panel->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

bool near(QColor a, QColor b, int tolerance = 6)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace

TEST(ToastGallery, FourLooksAtScaleOneAndTwo)
{
    ToastFixture fixture;
    for (double scale : {1.0, 2.0}) {
        std::vector<QImage> tiles;
        for (const QString& message : {shortMessage, longMessage, twoLineMessage}) {
            for (const Look& look : looks) {
                SCOPED_TRACE(std::string(look.name) + (message == shortMessage ? " short" : message == longMessage ? " long" : " two lines"));
                OutputToastRenderer renderer(fixture.environment());
                renderer.begin(QUuid::createUuid(), ToastFixture::left, message, [] {});
                renderer.show(message, look.progress, look.title, [] {}, look.failed, look.notice);
                QWidget* panel = renderer.panel();
                ASSERT_TRUE(panel);
                const QImage tile = renderPanel(panel, scale);
                tiles.push_back(tile);

                // Inside the body, left of the symbol: the body colour over the backdrop.
                const QRectF body = renderer.surface()->bodyRect();
                const QPoint inside((body.left() + 8) * scale, (body.center().y()) * scale);
                EXPECT_TRUE(near(tile.pixelColor(inside), QColor(250, 251, 248), 8)) << tile.pixelColor(inside).name().toStdString();
                // Just below the body: darker than the backdrop there, from the shadow.
                QImage bare((QSizeF(panel->size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
                bare.setDevicePixelRatio(scale);
                {
                    QPainter p(&bare);
                    paintBackdrop(p, panel->size());
                }
                const QPoint below(body.center().x() * scale, (body.bottom() + 4) * scale);
                EXPECT_LT(qGray(tile.pixel(below)), qGray(bare.pixel(below)) - 3) << "the shadow falls below the body";
                // The border: white, or the failure border.
                const QPoint edge(body.center().x() * scale, std::floor(body.top() * scale));
                const QColor border = look.failed ? QColor(226, 194, 188) : QColor(255, 255, 255);
                EXPECT_TRUE(near(tile.pixelColor(edge), border, 40)) << tile.pixelColor(edge).name().toStdString();
            }
        }
        // One sheet per scale: the looks down, short then long.
        saveTestImage(stackedSheet(tiles, QColor(236, 240, 232)), QStringLiteral("toast-gallery-scale%1").arg(int(scale)));
    }
}

TEST(ToastGallery, WithoutACompositorNoShadowIsDrawn)
{
    ToastFixture fixture;
    fixture.windows->setCompositor(false);
    OutputToastRenderer renderer(fixture.environment());
    renderer.begin(QUuid::createUuid(), ToastFixture::left, shortMessage, [] {});
    renderer.show(shortMessage, false, std::nullopt, {}, false, false);
    QWidget* panel = renderer.panel();
    ASSERT_TRUE(panel);
    EXPECT_FALSE(renderer.surface()->drawsShadows);
    QImage image(panel->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    panel->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.end();
    saveTestImage(image, QStringLiteral("toast-no-compositor"));
    const QRectF body = renderer.surface()->bodyRect();
    EXPECT_EQ(qAlpha(image.pixel(int(body.center().x()), int(body.bottom()) + 6)), 0) << "nothing drawn in the margin";

    // The one-pixel ring is inside the mask, opaque and darker than white, on every side; the
    // mask's cut corners are opaque too (no desktop shows through as black). The surface is
    // drawn alone: a masked top-level's render() moves what it draws.
    const QRegion mask = panel->mask();
    image.fill(Qt::transparent);
    renderer.surface()->render(&image);
    const int x = int(body.center().x()), y = int(body.center().y());
    const QPoint ring[] = {{x, int(body.top()) - 1}, {x, int(body.bottom())}, {int(body.left()) - 1, y}, {int(body.right()), y}};
    for (const QPoint& p : ring) {
        EXPECT_TRUE(mask.contains(p)) << p.x() << "," << p.y();
        EXPECT_EQ(qAlpha(image.pixel(p)), 255) << p.x() << "," << p.y();
        EXPECT_LT(qGray(image.pixel(p)), 245) << p.x() << "," << p.y();
    }
    EXPECT_FALSE(mask.contains(QPoint(x, int(body.top()) - 2)));
    for (const QRect& r : mask) {
        for (int py = r.top(); py <= r.bottom(); ++py)
            for (int px = r.left(); px <= r.right(); ++px)
                ASSERT_EQ(qAlpha(image.pixel(px, py)), 255) << px << "," << py;
    }
}
