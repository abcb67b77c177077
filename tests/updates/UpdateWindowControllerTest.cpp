// The update window: its layout, its two actions (each runs at most once, whichever path
// closes it), and a gallery of every step at scales 1 and 2.
#include "UpdateFixture.h"

#include "app/base/InterfaceColors.h"
#include "app/base/UnflippedFrame.h"
#include "support/TestSupport.h"
#include "support/WidgetGallery.h"

#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

UpdateWindowStep stepWith(const QString& primary, const QString& secondary)
{
    return {QStringLiteral("标题"), QStringLiteral("说明"), primary, !primary.isEmpty(), nullptr, secondary, nullptr,
            UpdateProgress::hidden()};
}

Rect frameOf(const QWidget* widget)
{
    return UnflippedFrame::of(widget);
}

} // namespace

TEST(UpdateWindowController, WindowAndFixedFrames)
{
    UpdateWindowController controller;
    QWidget* window = controller.window();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("检查更新"));
    EXPECT_EQ(window->size(), QSize(420, 270));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "fixed size";
    EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_EQ(frameOf(controller.heading()), (Rect{28, 210, 364, 28}));
    EXPECT_EQ(controller.heading()->geometry(), QRect(28, 32, 364, 28)) << "y-down";
    EXPECT_EQ(frameOf(controller.detail()), (Rect{28, 108, 364, 92}));
    EXPECT_EQ(frameOf(controller.progress()), (Rect{28, 82, 364, 12}));
    EXPECT_EQ(controller.heading()->textFormat(), Qt::PlainText);
    EXPECT_EQ(controller.detail()->textFormat(), Qt::PlainText) << "a feed's text is never markup";
    EXPECT_TRUE(controller.detail()->wordWrap());
    EXPECT_FALSE(controller.progress()->isTextVisible());
}

TEST(UpdateWindowController, ButtonLayout)
{
    struct Case {
        const char* name;
        QString primary; // empty: hidden
        QString secondary;
        std::optional<double> width; // expected, when fixed
    };
    const Case cases[] = {
        {"short titles", "重试", "关闭", 70},
        {"primary hidden", "", "关闭", 70},
        {"long primary", "安装并重启", "稍后", std::nullopt},
        {"long secondary, primary hidden", "", "一个很长很长的次要按钮标题", std::nullopt},
    };
    for (const Case& c : cases) {
        UpdateWindowController controller;
        UpdateWindowStep step = stepWith(c.primary, c.secondary);
        // A hidden primary keeps a long title: the width comes from the secondary alone.
        if (c.primary.isEmpty())
            step.primaryTitle = QStringLiteral("一个很长很长很长很长的主要按钮标题");
        controller.apply(std::move(step));
        const Rect primary = frameOf(controller.primary());
        const Rect secondary = frameOf(controller.secondary());
        const double w = secondary.width();
        if (c.width) {
            EXPECT_EQ(w, *c.width) << c.name;
        }
        EXPECT_GE(w, 70) << c.name;
        EXPECT_EQ(secondary.minY(), 15) << c.name;
        EXPECT_EQ(secondary.height(), 28) << c.name;
        if (c.primary.isEmpty()) {
            EXPECT_EQ(secondary.minX(), 392 - w) << c.name << ": at the right edge";
            EXPECT_TRUE(controller.primary()->isHidden());
        } else {
            EXPECT_EQ(primary, (Rect{392 - w, 15, w, 28})) << c.name;
            EXPECT_EQ(secondary.minX(), 392 - 2 * w - 9) << c.name;
        }
    }
    // The design's numbers: short titles give 70-point buttons at x 322 and 243.
    const auto frames = UpdateWindowController::buttonFrames(30, 30, true);
    EXPECT_EQ(frames.primary, (Rect{322, 15, 70, 28}));
    EXPECT_EQ(frames.secondary, (Rect{243, 15, 70, 28}));
    const auto wide = UpdateWindowController::buttonFrames(60.2, 30, true);
    EXPECT_EQ(wide.primary.width(), 85) << "ceil(60.2) + 24 for both";
    EXPECT_EQ(wide.secondary.width(), 85);
    EXPECT_EQ(UpdateWindowController::buttonFrames(60.2, 30, false).secondary, (Rect{322, 15, 70, 28}));
}

TEST(UpdateWindowController, EachActionRunsOnceWhicheverWayTheWindowCloses)
{
    enum class Way { secondaryButton, escape, titleBar, primaryThenClose };
    for (const Way way : {Way::secondaryButton, Way::escape, Way::titleBar, Way::primaryThenClose}) {
        UpdateWindowController controller;
        int primaryRuns = 0, closeRuns = 0;
        UpdateWindowStep step = stepWith(QStringLiteral("重试"), QStringLiteral("关闭"));
        step.primaryAction = [&] { ++primaryRuns; };
        step.closeAction = [&] { ++closeRuns; };
        controller.apply(std::move(step));
        ASSERT_TRUE(controller.window()->isVisible());
        switch (way) {
        case Way::secondaryButton:
            QTest::mouseClick(controller.secondary(), Qt::LeftButton);
            break;
        case Way::escape:
            controller.window()->activateWindow();
            QTest::keyClick(controller.window(), Qt::Key_Escape);
            break;
        case Way::titleBar:
            controller.window()->close();
            break;
        case Way::primaryThenClose:
            QTest::mouseClick(controller.primary(), Qt::LeftButton);
            EXPECT_TRUE(controller.window()->isVisible()) << "the primary button leaves it open";
            controller.window()->close();
            break;
        }
        EXPECT_FALSE(controller.window()->isVisible()) << int(way);
        EXPECT_EQ(closeRuns, way == Way::primaryThenClose ? 0 : 1) << int(way);
        EXPECT_EQ(primaryRuns, way == Way::primaryThenClose ? 1 : 0) << int(way);
        controller.window()->show();
        controller.window()->close();
        EXPECT_EQ(closeRuns + primaryRuns, 1) << int(way) << ": nothing runs twice";
    }
}

TEST(UpdateWindowController, PrimaryWithoutActionStillClearsTheCloseAction)
{
    UpdateWindowController controller;
    int closeRuns = 0;
    UpdateWindowStep step = stepWith(QString(), QStringLiteral("关闭"));
    step.closeAction = [&] { ++closeRuns; };
    controller.apply(std::move(step));
    controller.performPrimary();
    EXPECT_FALSE(controller.closeAction);
    controller.performClose();
    EXPECT_EQ(closeRuns, 0);
}

// A close action that starts the next step finds the window hidden and shows it again, so the
// new step does not vanish with the old one.
TEST(UpdateWindowController, AStepStartedByTheCloseActionStaysShown)
{
    UpdateWindowController controller;
    UpdateWindowStep step = stepWith(QString(), QStringLiteral("关闭"));
    step.closeAction = [&] { controller.apply(stepWith(QStringLiteral("重试"), QStringLiteral("关闭"))); };
    controller.apply(std::move(step));
    controller.performClose();
    EXPECT_TRUE(controller.window()->isVisible());
    EXPECT_FALSE(controller.primary()->isHidden());
}

TEST(UpdateWindowController, FeedTextIsShownAsWritten)
{
    UpdateWindowController controller;
    UpdateWindowStep step = stepWith(QString(), QStringLiteral("关闭"));
    step.detail = QStringLiteral("<img src=\"https://example.com/x.png\"><b>粗体</b>");
    controller.apply(std::move(step));
    const QImage image = renderAtScale(*controller.window(), 1);
    // Plain text draws the markup's characters as ink across the detail line.
    int ink = 0;
    for (int x = 36; x < 300; ++x)
        ink += pixelAt(image, x, 70 + 9, 1).lightness() < 160 ? 1 : 0;
    EXPECT_GT(ink, 40);
}

TEST(UpdateWindowController, GalleryOfEveryStep)
{
    struct Shot {
        QString name;
        std::function<void(UpdateFixture&, ReplyLog&)> show;
    };
    const std::vector<Shot> shots = {
        {"checking", [](UpdateFixture& f, ReplyLog& l) { f.driver().showUserInitiatedUpdateCheck(l.cancellation()); }},
        {"found", [](UpdateFixture& f, ReplyLog& l) {
             f.driver().showUpdateFound({"1.1.0", true, QUrl("https://example.com")}, {}, l.choice());
         }},
        {"found-download", [](UpdateFixture& f, ReplyLog& l) { f.driver().showUpdateFound({"1.1.0", false, {}}, {}, l.choice()); }},
        {"not-found", [](UpdateFixture& f, ReplyLog& l) {
             f.driver().showUpdateNotFound(UpdateError(QStringLiteral("当前版本 1.0.0 已是最新版本。")), l.acknowledgement());
         }},
        {"error", [](UpdateFixture& f, ReplyLog& l) {
             f.driver().showUpdaterError(UpdateError(QStringLiteral("连接更新服务器超时，请稍后重试。")), l.acknowledgement());
         }},
        {"downloading", [](UpdateFixture& f, ReplyLog& l) {
             f.driver().showDownloadInitiated(l.cancellation());
             f.driver().showDownloadDidReceiveExpectedContentLength(1000);
             f.driver().showDownloadDidReceiveDataOfLength(400);
         }},
        {"preparing", [](UpdateFixture& f, ReplyLog&) {
             f.driver().showDownloadDidStartExtractingUpdate();
             f.driver().showExtractionReceivedProgress(0.7);
         }},
        {"ready", [](UpdateFixture& f, ReplyLog& l) { f.driver().showReadyToInstallAndRelaunch(l.choice()); }},
        {"installing", [](UpdateFixture& f, ReplyLog& l) { f.driver().showInstallingUpdate(false, l.cancellation()); }},
        {"installed", [](UpdateFixture& f, ReplyLog& l) { f.driver().showUpdateInstalledAndRelaunched(true, l.acknowledgement()); }},
        {"status", nullptr}, // the service's own window, without a release configuration
    };
    for (const double scale : {1.0, 2.0}) {
        std::vector<GalleryTile> column[2];
        int index = 0;
        for (const Shot& shot : shots) {
            std::unique_ptr<UpdateFixture> f;
            ReplyLog log;
            if (!shot.show) {
                f = std::make_unique<UpdateFixture>(&UpdateService::defaultMakeEngine);
                f->service->start();
                f->service->checkForUpdates();
            } else {
                f = std::make_unique<UpdateFixture>();
                f->startCycle();
                shot.show(*f, log);
            }
            ASSERT_TRUE(f->shown()) << shot.name.toStdString();
            const QImage image = renderAtScale(*f->window().window(), scale);
            // Body white, footer band, the brand-filled primary where one is shown.
            EXPECT_TRUE(nearColor(pixelAt(image, 10, 10, scale), InterfaceColors::panelBody())) << shot.name.toStdString();
            EXPECT_TRUE(nearColor(pixelAt(image, 10, 262, scale), InterfaceColors::panelBand())) << shot.name.toStdString();
            if (!f->window().primary()->isHidden()) {
                const QRect p = f->window().primary()->geometry();
                EXPECT_TRUE(nearColor(pixelAt(image, p.left() + 4, p.center().y() + 1, scale), InterfaceColors::brand(), 12))
                    << shot.name.toStdString();
            }
            column[index++ % 2].push_back({shot.name, image});
        }
        const QImage left = gallerySheet(column[0], scale);
        const QImage right = gallerySheet(column[1], scale);
        QImage sheet(left.width() + right.width(), std::max(left.height(), right.height()), QImage::Format_ARGB32_Premultiplied);
        sheet.fill(QColor(250, 250, 250));
        QPainter painter(&sheet);
        painter.drawImage(0, 0, left);
        painter.drawImage(left.width(), 0, right);
        painter.end();
        saveTestImage(sheet, QStringLiteral("update-window-%1x").arg(int(scale)));
    }
}
