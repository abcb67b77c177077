#include "ReviewFixtures.h"
#include "app/base/AlertDialog.h"
#include "app/base/InterfaceColors.h"
#include "app/base/LightPalette.h"
#include "app/shell/TerminationPolicy.h"
#include "app/shell/TerminationReviewView.h"
#include "rendering/Bitmap.h"
#include "support/TestSupport.h"
#include "support/WidgetGallery.h"

#include <QLabel>
#include <QPointer>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

using namespace vorlith;
using namespace vorlith::test;

namespace {

using Entry = TerminationReviewView::Entry;

const QColor red = reviewRed;
const QColor blue(40, 80, 220);
const QColor green(30, 170, 90);

// Left half red, right half blue.
QImage halves(int width, int height)
{
    QImage image = Bitmap::create(width, height);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, red);
    painter.fillRect(width / 2, 0, width - width / 2, height, blue);
    return image;
}

QImage filled(int width, int height, const QColor& color)
{
    QImage image = Bitmap::create(width, height);
    image.fill(color);
    return image;
}

Entry entry(QImage image, Rect selection, Size logicalSize, const char* title = TerminationReviewView::currentCaptureTitle)
{
    return {QUuid::createUuid(), QString::fromUtf8(title), std::move(image), selection, logicalSize};
}

// The thumbnail's pixel under a point, at the thumbnail's own ratio.
QColor thumbnailAt(const QPixmap& thumbnail, double x, double y)
{
    const double ratio = thumbnail.devicePixelRatio();
    return thumbnail.toImage().pixelColor(int(x * ratio), int(y * ratio));
}

bool isTransparent(const QColor& color)
{
    return color.alpha() == 0;
}

} // namespace

TEST(TerminationReviewView, LaysOutRowsFromTheTopAndScrollsOnlyBeyondThree)
{
    struct Case {
        int count;
        QSize view;
        int contentHeight;
        bool scrollBar;
    };
    const Case cases[] = {
        {1, {340, 72}, 72, false},
        {3, {340, 216}, 216, false},
        {4, {340, 224}, 288, true},
        {6, {340, 224}, 432, true},
    };
    for (const Case& c : cases) {
        TerminationReviewView view(screenshotEntries(c.count), 1.0);
        view.show();
        EXPECT_EQ(view.size(), c.view) << c.count;
        EXPECT_EQ(view.frameShape(), QFrame::NoFrame);
        ASSERT_NE(view.widget(), nullptr);
        EXPECT_EQ(view.widget()->size(), QSize(320, c.contentHeight)) << c.count;
        EXPECT_EQ(view.verticalScrollBar()->isVisible(), c.scrollBar) << c.count;
        EXPECT_FALSE(view.horizontalScrollBar()->isVisible()) << c.count;
        ASSERT_EQ(view.buttons().size(), c.count);
        for (int i = 0; i < c.count; ++i)
            EXPECT_EQ(view.buttons()[i]->geometry(), QRect(0, i * 72 + 8, 320, 64)) << c.count << " row " << i;
        EXPECT_FALSE(view.selectedID());
    }
}

TEST(TerminationReviewView, EachRowIsAFlatButtonWithItsThumbnailTitleAndTag)
{
    const QList<Entry> entries = screenshotEntries(2);
    TerminationReviewView view(entries, 2.0);
    for (int i = 0; i < 2; ++i) {
        const QToolButton* button = view.buttons()[i];
        EXPECT_EQ(button->text(), entries[i].title);
        EXPECT_EQ(button->property("tag"), QVariant(i));
        EXPECT_TRUE(button->autoRaise());
        EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
        EXPECT_EQ(button->iconSize(), QSize(100, 60));
        EXPECT_EQ(button->font().pixelSize(), 12);
        EXPECT_EQ(button->toolTip(), QStringLiteral("返回并定位这张图片"));
        EXPECT_EQ(button->accessibleName(), entries[i].title + QStringLiteral("，返回处理"));
        // The icon holds the thumbnail drawn for the given ratio.
        const QPixmap icon = button->icon().pixmap(QSize(100, 60), 2.0);
        EXPECT_EQ(icon.size(), QSize(200, 120));
    }
}

TEST(TerminationReviewView, AClickRemembersTheImageAndEndsTheAlertWithNeitherButton)
{
    const QList<Entry> entries = screenshotEntries(4);
    auto owned = std::make_unique<TerminationReviewView>(entries, 1.0);
    TerminationReviewView* view = owned.get();
    Alert alert = TerminationPolicy::reviewAlert(TerminationIntent::quit, {1, {entries[0].id}, {}, false, false, false});
    alert.accessory = view;
    AlertDialog dialog(alert);
    int finished = 0;
    QObject::connect(&dialog, &QDialog::finished, [&](int code) {
        ++finished;
        EXPECT_EQ(code, TerminationReviewView::abortedResponse);
    });
    dialog.open();
    ASSERT_TRUE(runUntil([&] { return dialog.isVisible(); }));

    // A sender without a tag, or with one outside the rows, does nothing.
    QObject stranger;
    view->locate(&stranger);
    stranger.setProperty("tag", 4);
    view->locate(&stranger);
    stranger.setProperty("tag", -1);
    view->locate(&stranger);
    view->locate(nullptr);
    EXPECT_FALSE(view->selectedID());
    EXPECT_TRUE(dialog.isVisible());

    view->ensureWidgetVisible(view->buttons()[2]);
    QTest::mouseClick(view->buttons()[2], Qt::LeftButton);
    EXPECT_EQ(view->selectedID(), entries[2].id);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(dialog.response(), TerminationReviewView::abortedResponse);
    EXPECT_NE(dialog.response(), Alert::firstButton);
    EXPECT_NE(dialog.response(), Alert::secondButton);
}

TEST(TerminationReviewView, TheAlertWidensToHoldTheWholeViewWithItsScrollBar)
{
    auto owned = std::make_unique<TerminationReviewView>(screenshotEntries(4), 1.0);
    TerminationReviewView* view = owned.get();
    Alert alert = TerminationPolicy::reviewAlert(TerminationIntent::quit, {1, {QUuid::createUuid()}, {}, false, false, false});
    alert.accessory = view;
    AlertDialog dialog(alert);
    dialog.show();
    ASSERT_TRUE(runUntil([&] { return view->isVisible(); }));
    EXPECT_EQ(view->size(), QSize(340, 224));
    const QRect bar(view->verticalScrollBar()->mapTo(&dialog, QPoint()), view->verticalScrollBar()->size());
    EXPECT_TRUE(view->verticalScrollBar()->isVisible());
    EXPECT_TRUE(dialog.rect().contains(bar)) << dialog.width();
    dialog.close();
}

TEST(TerminationReviewView, OutlivesItsAlertForItsOwnerToRead)
{
    const QList<Entry> entries = screenshotEntries(2);
    auto view = std::make_unique<TerminationReviewView>(entries, 1.0);
    QPointer<TerminationReviewView> watch = view.get();
    {
        Alert alert = TerminationPolicy::reviewAlert(TerminationIntent::quit, {1, {entries[0].id}, {}, false, false, false});
        alert.accessory = view.get();
        AlertDialog dialog(alert);
        dialog.show();
        QTest::mouseClick(view->buttons()[1], Qt::LeftButton);
        EXPECT_EQ(dialog.response(), TerminationReviewView::abortedResponse);
    }
    ASSERT_TRUE(watch);
    EXPECT_EQ(view->parent(), nullptr);
    EXPECT_FALSE(view->isVisible());
    EXPECT_EQ(view->selectedID(), entries[1].id);
}

TEST(TerminationReviewView, CutsTheSelectionsPixelsRoundedOutwardAndInsideTheImage)
{
    struct Case {
        const char* name;
        Rect selection;
        Size logical;
        QRect cut;
    };
    const QRect whole(0, 0, 200, 100);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"inside at scale 1", {20, 10, 60, 40}, {200, 100}, {20, 10, 60, 40}},
        {"fractions at scale 2 round outward", {10.3, 5.2, 20, 10}, {100, 50}, {20, 10, 41, 21}},
        {"scale differs by axis", {10, 10, 20, 20}, {100, 100}, {20, 10, 40, 20}},
        {"partly outside", {150, -20, 100, 70}, {200, 100}, {150, 0, 50, 50}},
        {"negative extent", {60, 40, -20, -10}, {200, 100}, {40, 30, 20, 10}},
        {"wholly outside: whole image", {300, 10, 40, 40}, {200, 100}, whole},
        {"touching the edge only: whole image", {200, 0, 30, 30}, {200, 100}, whole},
        {"no width: whole image", {20, 10, 0, 40}, {200, 100}, whole},
        {"no logical size: whole image", {20, 10, 60, 40}, {0, 0}, whole},
        {"not finite: whole image", {nan, 10, 60, 40}, {200, 100}, whole},
        {"huge: clamped to the image", {-1e300, -1e300, 2e300, 2e300}, {200, 100}, whole},
    };
    const QImage image = halves(200, 100);
    for (const Case& c : cases)
        EXPECT_EQ(TerminationReviewView::cutRect(entry(image, c.selection, c.logical)), c.cut) << c.name;
    EXPECT_TRUE(TerminationReviewView::cutRect(entry(QImage(), {0, 0, 10, 10}, {10, 10})).isNull());
}

TEST(TerminationReviewView, ThumbnailFitsAndCentresTheCutOnATransparentCanvas)
{
    for (double ratio : {1.0, 2.0}) {
        SCOPED_TRACE(ratio);
        // Partly outside: only the blue right quarter is left, 50 × 100 pixels, fitted to a
        // 30 × 60-point column in the middle.
        const QPixmap outside = TerminationReviewView::thumbnail(entry(halves(200, 100), {150, 0, 100, 100}, {200, 100}), ratio);
        EXPECT_EQ(outside.size(), QSize(100, 60) * ratio);
        EXPECT_EQ(outside.devicePixelRatio(), ratio);
        EXPECT_TRUE(nearColor(thumbnailAt(outside, 50, 30), blue));
        EXPECT_TRUE(nearColor(thumbnailAt(outside, 36, 2), blue));
        EXPECT_TRUE(isTransparent(thumbnailAt(outside, 33, 30)));
        EXPECT_TRUE(isTransparent(thumbnailAt(outside, 67, 30)));

        // An empty cut shows the whole image: 100 × 50 points between bands above and below.
        const QPixmap empty = TerminationReviewView::thumbnail(entry(halves(200, 100), {300, 0, 20, 20}, {200, 100}), ratio);
        EXPECT_TRUE(nearColor(thumbnailAt(empty, 25, 30), red));
        EXPECT_TRUE(nearColor(thumbnailAt(empty, 75, 30), blue));
        EXPECT_TRUE(isTransparent(thumbnailAt(empty, 50, 2)));
        EXPECT_TRUE(isTransparent(thumbnailAt(empty, 50, 58)));

        // A tall narrow selection is scaled down into the middle, transparent left and right.
        const QPixmap tall = TerminationReviewView::thumbnail(entry(filled(40, 400, green), {0, 0, 20, 200}, {20, 200}), ratio);
        EXPECT_TRUE(nearColor(thumbnailAt(tall, 50, 30), green));
        EXPECT_TRUE(nearColor(thumbnailAt(tall, 50, 1), green));
        EXPECT_TRUE(nearColor(thumbnailAt(tall, 50, 59), green));
        for (double x : {1.0, 20.0, 45.0, 55.0, 80.0, 99.0})
            EXPECT_TRUE(isTransparent(thumbnailAt(tall, x, 30))) << x;

        // A small cut is scaled up to fill the height.
        const QPixmap small = TerminationReviewView::thumbnail(entry(filled(10, 6, red), {0, 0, 10, 6}, {10, 6}), ratio);
        EXPECT_TRUE(nearColor(thumbnailAt(small, 1, 1), red));
        EXPECT_TRUE(nearColor(thumbnailAt(small, 98, 58), red));
    }
}

TEST(TerminationReviewView, ThumbnailAtScaleTwoKeepsEveryPixelOfAMatchingCut)
{
    // 200 × 120 pixels make exactly 100 × 60 points at ratio 2: each pixel lands on its own.
    QImage image = Bitmap::create(400, 240);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, y, (x + y) % 2 ? QColor(Qt::black) : QColor(Qt::white));
    const QImage pixels =
        TerminationReviewView::thumbnail(entry(image, {50, 30, 100, 60}, {200, 120}), 2.0).toImage();
    ASSERT_EQ(pixels.size(), QSize(200, 120));
    int wrong = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 200; ++x)
            wrong += pixels.pixelColor(x, y) != image.pixelColor(100 + x, 60 + y);
    EXPECT_EQ(wrong, 0);
}

TEST(TerminationReviewView, Gallery)
{
    for (double scale : {1.0, 2.0}) {
        std::vector<GalleryTile> tiles;
        for (int count : {1, 4}) {
            TerminationReviewView view(screenshotEntries(count), scale);
            applyLightPalette(view);
            view.show();
            const QImage image = renderAtScale(view, scale, 8, InterfaceColors::panelBody());
            // Transparent: the ground shows between the rows and beside the thumbnails.
            EXPECT_TRUE(nearColor(pixelAt(image, 310, 4, scale), InterfaceColors::panelBody()));
            EXPECT_TRUE(nearColor(pixelAt(image, 200, 20, scale), InterfaceColors::panelBody(), 8));
            tiles.push_back({QStringLiteral("%1 entries").arg(count), image});
        }
        {
            // A row under the pointer: the flat button shows its panel.
            TerminationReviewView view(screenshotEntries(2), scale);
            applyLightPalette(view);
            view.show();
            view.buttons()[1]->setAttribute(Qt::WA_UnderMouse, true);
            tiles.push_back({QStringLiteral("second row under the pointer"),
                             renderAtScale(view, scale, 8, InterfaceColors::panelBody())});
        }

        // The view in its alert, in the forms the review shows.
        struct Form {
            TerminationIntent intent;
            int pending;
            int pins;
        };
        const Form forms[] = {
            {TerminationIntent::quit, 1, 0},
            {TerminationIntent::quit, 4, 2},
            {TerminationIntent::quit, 0, 3},
            {TerminationIntent::installUpdate, 2, 1},
            {TerminationIntent::installUpdate, 0, 2},
        };
        for (const Form& form : forms) {
            const QList<Entry> entries = screenshotEntries(form.pending);
            TerminationSnapshot state;
            for (const Entry& e : entries)
                state.pendingImageIDs.insert(e.id);
            for (int i = 0; i < form.pins; ++i)
                state.openPinIDs.insert(QUuid::createUuid());
            Alert alert = TerminationPolicy::reviewAlert(form.intent, state);
            std::unique_ptr<TerminationReviewView> view;
            if (!entries.isEmpty())
                view = std::make_unique<TerminationReviewView>(entries, scale);
            alert.accessory = view.get();
            AlertDialog dialog(alert);
            dialog.adjustSize();
            const QImage image = renderAtScale(dialog, scale);
            tiles.push_back({alert.message + QStringLiteral(" / ") + alert.buttons[1], image});
        }
        saveTestImage(gallerySheet(tiles, scale), QStringLiteral("termination-review-%1x").arg(int(scale)));
    }
}
