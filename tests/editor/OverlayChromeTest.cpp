#include "app/editor/chrome/CaptureHint.h"
#include "app/editor/chrome/HintExitButton.h"
#include "app/editor/chrome/OverlayChromeShadows.h"
#include "support/TestSupport.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

struct PressRecorder : QWidget {
    int presses = 0;
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

} // namespace

TEST(OverlayChromeShadows, EqualItemsChangeNothingAndAnEmptyListDrawsNothing)
{
    QWidget stage;
    stage.resize(300, 200);
    OverlayChromeShadows shadows(&stage);
    shadows.resize(stage.size());
    EXPECT_TRUE(shadows.testAttribute(Qt::WA_TransparentForMouseEvents));
    const std::vector<OverlayChromeShadows::Item> items{
        {Rect(40, 40, 200, 60), 13, {{14, 20, QColor(23, 33, 26, 38)}, {2, 3, QColor(23, 33, 26, 18)}}},
    };
    shadows.setItems(items);
    shadows.setItems(items);
    EXPECT_EQ(shadows.rebuilds(), 1);
    QImage drawn = shadows.grab().toImage();
    EXPECT_GT(qAlpha(drawn.pixel(140, 112)), 0) << "below the part, offset downwards";
    EXPECT_EQ(qAlpha(drawn.pixel(5, 5)), 0);

    auto moved = items;
    moved[0].layers[1].color = QColor(23, 33, 26, 19);
    shadows.setItems(moved);
    EXPECT_EQ(shadows.rebuilds(), 2);

    shadows.setItems({});
    drawn = shadows.grab().toImage();
    for (int y = 0; y < drawn.height(); y += 7)
        for (int x = 0; x < drawn.width(); x += 7)
            ASSERT_EQ(qAlpha(drawn.pixel(x, y)), 0);
}

TEST(CaptureHint, AClickOnThePillStopsThereAndTheExitButtonClicks)
{
    PressRecorder canvas;
    canvas.resize(600, 200);
    auto* pill = new CaptureHint(&canvas);
    pill->move(50, 50);
    int exits = 0;
    QObject::connect(pill->exitButton(), &QAbstractButton::clicked, [&] { ++exits; });
    canvas.show();
    QTest::mouseClick(pill, Qt::LeftButton, {}, QPoint(20, 17));
    EXPECT_EQ(canvas.presses, 0);
    QTest::mouseClick(pill->exitButton(), Qt::LeftButton);
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(canvas.presses, 0);
    EXPECT_EQ(pill->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(pill->exitButton()->accessibleName(), "退出截图");
}
