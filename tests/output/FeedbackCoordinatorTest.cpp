#include "app/output/feedback/FeedbackCoordinator.h"
#include "app/output/feedback/OutputToast.h"
#include "app/output/feedback/OutputToastRenderer.h"
#include "output/ToastFixture.h"
#include "support/TestSupport.h"

#include <QPainter>
#include <QTest>
#include <QToolTip>
#include <QWidget>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;
using Phase = FeedbackCoordinator::Phase;

namespace {

class FeedbackCoordinatorTest : public ::testing::Test {
protected:
    ToastFixture fixture;
    std::shared_ptr<ImageResourceStore> store = std::make_shared<ImageResourceStore>(qint64(1) << 30);
    std::shared_ptr<FeedbackCoordinator> coordinator = fixture.coordinator(store);
    QUuid owner = QUuid::createUuid();

    QUuid begin(const Point& anchor = ToastFixture::left, const QUuid& id = QUuid::createUuid())
    {
        EXPECT_TRUE(coordinator->begin(id, owner, anchor, QStringLiteral("正在复制…"), [] {}));
        return id;
    }
    QUuid fail(const QString& message, const Point& anchor = ToastFixture::left)
    {
        const QUuid id = begin(anchor);
        EXPECT_TRUE(coordinator->failure(id, message));
        return id;
    }
    OutputToastRenderer& renderer(const QUuid& id) { return *coordinator->record(id)->renderer; }
    void TearDown() override
    {
        // Panels fade out and renderers are released on later turns: let them go.
        coordinator.reset();
        spin(60ms);
    }
    QString shownText(const QUuid& id)
    {
        const auto& p = renderer(id).presentation();
        return p ? p->message : QString();
    }
};

} // namespace

TEST_F(FeedbackCoordinatorTest, QueuedFailuresShowOneAtATimeWithACountdown)
{
    const QUuid a = fail(QStringLiteral("甲失败"));
    const QUuid b = fail(QStringLiteral("乙失败"));
    const QUuid c = fail(QStringLiteral("丙失败"));
    struct Step {
        QUuid head;
        QString text;
        std::vector<QUuid> hidden;
    };
    const Step steps[] = {
        {a, QStringLiteral("甲失败（另有2项待处理，关闭后查看）"), {b, c}},
        {b, QStringLiteral("乙失败（另有1项待处理，关闭后查看）"), {c}},
        {c, QStringLiteral("丙失败"), {}},
    };
    for (const Step& step : steps) {
        ASSERT_EQ(coordinator->failures().front(), step.head);
        EXPECT_EQ(shownText(step.head), step.text);
        EXPECT_TRUE(renderer(step.head).isPresented());
        EXPECT_TRUE(renderer(step.head).panel()->isVisible());
        for (const QUuid& other : step.hidden)
            EXPECT_FALSE(renderer(other).isPresented());
        // The close button closes the head; the next one takes its place.
        renderer(step.head).closeNotice();
        EXPECT_EQ(coordinator->record(step.head), nullptr);
    }
    EXPECT_TRUE(coordinator->failures().empty());
    EXPECT_EQ(store->reservedBytes(), 0);
}

TEST_F(FeedbackCoordinatorTest, PendingCapAdmitsTheThirtySecondAndRefusesTheThirtyThird)
{
    const QUuid head = fail(QStringLiteral("保存失败"));
    for (int i = 1; i < 31; ++i)
        begin();
    ASSERT_EQ(coordinator->pendingCount(), 31);
    EXPECT_EQ(store->reservedBytes(), 31 * FeedbackCoordinator::inputLeaseBytes);
    begin(); // 31 pending still admits one
    ASSERT_EQ(coordinator->pendingCount(), 32);
    EXPECT_EQ(shownText(head), QStringLiteral("保存失败（请先处理或关闭已有提示）"));

    EXPECT_FALSE(coordinator->begin(QUuid::createUuid(), owner, ToastFixture::left, QStringLiteral("再来"), [] {}));
    OutputToast toast(coordinator);
    toast.showNotice(QStringLiteral("已复制颜色"), ToastFixture::left);
    EXPECT_FALSE(toast.current.has_value()) << "a notice is refused at the cap too";
    EXPECT_EQ(coordinator->recordIDs().size(), 32u);
    EXPECT_EQ(store->reservedBytes(), 32 * FeedbackCoordinator::inputLeaseBytes);
}

TEST_F(FeedbackCoordinatorTest, WithoutAStoreNewToastsAreCappedButRestartsAreNot)
{
    auto bare = fixture.coordinator(nullptr);
    std::vector<QUuid> ids;
    for (int i = 0; i < 32; ++i) {
        ids.push_back(QUuid::createUuid());
        ASSERT_TRUE(bare->begin(ids.back(), owner, ToastFixture::left, QStringLiteral("处理中"), [] {}));
    }
    EXPECT_FALSE(bare->begin(QUuid::createUuid(), owner, ToastFixture::left, QStringLiteral("新"), [] {}));
    bare->success(ids[0], QStringLiteral("已完成"));
    ASSERT_EQ(bare->pendingCount(), 31);
    // A working toast begun again takes the ordinary place without ending the finished one.
    ASSERT_TRUE(bare->begin(ids[1], owner, ToastFixture::left, QStringLiteral("继续"), [] {}));
    ASSERT_TRUE(bare->begin(QUuid::createUuid(), owner, ToastFixture::left, QStringLiteral("新"), [] {}));
    ASSERT_EQ(bare->pendingCount(), 32);
    // 32 pending again, yet the finished one restarts: no lease, so no cap.
    EXPECT_TRUE(bare->begin(ids[0], owner, ToastFixture::left, QStringLiteral("再次"), [] {}));
    EXPECT_EQ(bare->record(ids[0])->phase, Phase::working);
    EXPECT_FALSE(bare->record(ids[0])->lease.has_value());
}

TEST_F(FeedbackCoordinatorTest, OrdinaryToastMovesDownOnlyWhenAFailureSharesItsDisplay)
{
    struct Case {
        const char* name;
        Point failureAnchor;
        Point workingAnchor;
        double offset;
    };
    const Case cases[] = {
        {"same display", ToastFixture::left, ToastFixture::left, 56},
        {"other display", ToastFixture::right, ToastFixture::left, 0},
        {"both unknown", ToastFixture::nowhere, ToastFixture::nowhere, 56},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Screens without a number make unknown displays; a point on no screen falls back to the
        // main one, so "unknown" is scripted by taking the numbers away.
        fixture.screens[0].displayNumber = c.failureAnchor == ToastFixture::nowhere ? std::nullopt : std::optional<quint32>(11);
        const QUuid failed = fail(QStringLiteral("失败"), c.failureAnchor);
        const QUuid working = begin(c.workingAnchor);
        EXPECT_EQ(renderer(working).verticalOffset, c.offset);
        EXPECT_EQ(renderer(failed).verticalOffset, 0);
        coordinator->remove(failed);
        EXPECT_EQ(renderer(working).verticalOffset, 0) << "moves back once the failure is closed";
        coordinator->remove(working);
    }
}

TEST_F(FeedbackCoordinatorTest, KnownAndUnknownDisplaysAreDifferent)
{
    fixture.screens[1].displayNumber.reset();
    const QUuid failed = fail(QStringLiteral("失败"), ToastFixture::right); // unknown
    const QUuid working = begin(ToastFixture::left);                        // display 11
    EXPECT_EQ(renderer(working).verticalOffset, 0);
    coordinator->remove(failed);
}

TEST_F(FeedbackCoordinatorTest, OnlyTheLaterOfTwoWorkingToastsIsVisible)
{
    const QUuid first = begin();
    const QUuid second = begin();
    EXPECT_EQ(coordinator->ordinary(), second);
    ASSERT_TRUE(runUntil([&] { return renderer(second).panel() && renderer(second).panel()->isVisible(); }));
    EXPECT_FALSE(renderer(first).isPresented());
    EXPECT_TRUE(!renderer(first).panel() || !renderer(first).panel()->isVisible());

    // The hidden one finishes: it becomes the ordinary toast and shows; the newer waits.
    coordinator->success(first, QStringLiteral("已复制"));
    EXPECT_EQ(coordinator->ordinary(), first);
    EXPECT_TRUE(renderer(first).panel()->isVisible());
    EXPECT_FALSE(renderer(second).isPresented());
    EXPECT_FALSE(renderer(second).panel()->isVisible());
    // Its own success brings it back and replaces the finished one at once.
    coordinator->success(second, QStringLiteral("已保存"));
    EXPECT_EQ(coordinator->record(first), nullptr);
    EXPECT_TRUE(renderer(second).panel()->isVisible());
}

TEST_F(FeedbackCoordinatorTest, RetryRemovesTheFailureFirstAndOnlyWhenAllowed)
{
    const QUuid id = begin();
    bool allowed = false;
    std::vector<std::string> order;
    int removals = 0;
    ASSERT_TRUE(coordinator->failure(
        id, QStringLiteral("复制失败"), std::nullopt,
        [&] { order.push_back(coordinator->record(id) ? "retry with failure" : "retry after removal"); },
        [&] { return allowed; }, [&] { ++removals; }));
    ASSERT_TRUE(renderer(id).presentation());
    EXPECT_EQ(renderer(id).presentation()->title, QStringLiteral("重试"));

    renderer(id).invokeAction();
    EXPECT_TRUE(order.empty());
    EXPECT_NE(coordinator->record(id), nullptr) << "a refused retry keeps the failure";

    allowed = true;
    renderer(id).invokeAction();
    EXPECT_EQ(order, std::vector<std::string>{"retry after removal"});
    EXPECT_EQ(removals, 1);
}

TEST_F(FeedbackCoordinatorTest, FailureIsNeverRestartedAndOthersCannotTakeAToast)
{
    const QUuid id = begin();
    EXPECT_FALSE(coordinator->begin(id, QUuid::createUuid(), ToastFixture::left, QStringLiteral("别人"), [] {}));
    EXPECT_EQ(coordinator->record(id)->owner, owner);
    ASSERT_TRUE(coordinator->failure(id, QStringLiteral("失败")));
    EXPECT_FALSE(coordinator->begin(id, owner, ToastFixture::left, QStringLiteral("重来"), [] {}));
    coordinator->success(id, QStringLiteral("成功"));
    EXPECT_FALSE(coordinator->failure(id, QStringLiteral("再失败")));
    EXPECT_EQ(coordinator->record(id)->phase, Phase::failure);
    EXPECT_EQ(coordinator->record(id)->message, QStringLiteral("失败"));
}

TEST_F(FeedbackCoordinatorTest, ARefusedLeaseCreatesNothing)
{
    auto tiny = std::make_shared<ImageResourceStore>(qint64(1000));
    auto refusing = fixture.coordinator(tiny);
    EXPECT_FALSE(refusing->begin(QUuid::createUuid(), owner, ToastFixture::left, QStringLiteral("处理中"), [] {}));
    EXPECT_TRUE(refusing->recordIDs().empty());
    EXPECT_EQ(tiny->reservedBytes(), 0);
}

TEST_F(FeedbackCoordinatorTest, ShutdownRemovesEveryToastOnceAndReturnsEveryLease)
{
    std::map<QUuid, int> removals;
    const QUuid working = begin();
    const QUuid suspended = begin();
    coordinator->suspend(suspended);
    const QUuid succeeded = begin();
    coordinator->success(succeeded, QStringLiteral("已复制"));
    const QUuid notice = begin();
    coordinator->success(notice, QStringLiteral("提示"), true);
    std::vector<QUuid> failed;
    for (int i = 0; i < 2; ++i) {
        failed.push_back(begin());
        ASSERT_TRUE(coordinator->failure(failed.back(), QStringLiteral("失败"), QStringLiteral("细节"), {}, {},
                                         [&removals, id = failed.back()] { ++removals[id]; }));
    }
    EXPECT_GT(store->reservedBytes(), 0);
    EXPECT_EQ(coordinator->record(suspended)->phase, Phase::suspended);
    (void)working;

    coordinator->shutdown();
    EXPECT_TRUE(coordinator->recordIDs().empty());
    EXPECT_TRUE(coordinator->failures().empty());
    EXPECT_FALSE(coordinator->ordinary().has_value());
    EXPECT_EQ(store->reservedBytes(), 0);
    for (const QUuid& id : failed)
        EXPECT_EQ(removals[id], 1);
}

TEST_F(FeedbackCoordinatorTest, SuccessBeforeTheDelayNeverShowsProgressAndExpires)
{
    const QUuid id = begin();
    coordinator->success(id, QStringLiteral("已复制到剪贴板"));
    ASSERT_TRUE(renderer(id).presentation());
    EXPECT_FALSE(renderer(id).presentation()->progress);
    EXPECT_TRUE(fixture.windows->placed(renderer(id).panel())->clickThrough) << "a success lets clicks through";
    spin(80ms); // past the progress delay
    ASSERT_NE(coordinator->record(id), nullptr);
    EXPECT_FALSE(renderer(id).presentation()->progress);
    EXPECT_TRUE(runUntil([&] { return coordinator->record(id) == nullptr; }, 2s));
}

TEST_F(FeedbackCoordinatorTest, ProgressPanelOpensWithTheNewestText)
{
    OutputToast toast(coordinator);
    const QUuid id = QUuid::createUuid();
    ASSERT_TRUE(coordinator->begin(id, toast.owner, ToastFixture::left, QStringLiteral("正在编码"), [] {}));
    toast.progress(id, QStringLiteral("正在写入剪贴板"));
    EXPECT_EQ(renderer(id).panel(), nullptr);
    ASSERT_TRUE(runUntil([&] { return renderer(id).panel() != nullptr; }));
    EXPECT_EQ(renderer(id).presentation()->message, QStringLiteral("正在写入剪贴板"));
    EXPECT_TRUE(renderer(id).presentation()->progress);
    EXPECT_FALSE(fixture.windows->placed(renderer(id).panel())->clickThrough) << "progress takes clicks (取消)";
    EXPECT_FALSE(fixture.windows->placed(renderer(id).panel())->takesFocus);
    EXPECT_EQ(fixture.windows->placed(renderer(id).panel())->level, WindowLevel::toast);
}

TEST_F(FeedbackCoordinatorTest, ASuspendedToastComesBackOnItsOwnDisplay)
{
    const QUuid id = begin(ToastFixture::left);
    coordinator->suspend(id);
    EXPECT_FALSE(coordinator->ordinary().has_value());
    ASSERT_TRUE(coordinator->begin(id, owner, ToastFixture::right, QStringLiteral("正在保存"), [] {}));
    EXPECT_EQ(renderer(id).originDisplayID(), 11u);
    ASSERT_TRUE(runUntil([&] { return renderer(id).panel() != nullptr; }));
    EXPECT_LT(renderer(id).panel()->geometry().center().x(), 1440);
}

TEST_F(FeedbackCoordinatorTest, VisibleFrameIsTheBodyOfTheOwnersShownToast)
{
    OutputToast toast(coordinator);
    EXPECT_FALSE(coordinator->visibleFrame(toast.owner));
    toast.showSuccess(QStringLiteral("已复制颜色"), ToastFixture::left);
    ASSERT_TRUE(toast.current);
    const std::optional<Rect> frame = coordinator->visibleFrame(toast.owner);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->height(), 40);
    EXPECT_EQ(frame->width(), 150);
    EXPECT_FALSE(coordinator->visibleFrame(owner)) << "another owner's toast is not reported";
}

TEST_F(FeedbackCoordinatorTest, DetailsButtonOpensOneWindowThatClosesWithTheToast)
{
    const QUuid id = begin();
    ASSERT_TRUE(coordinator->failure(id, QStringLiteral("2张图片未能置顶"), QStringLiteral("a.png：无法读取\nb.gif：不是图片")));
    ASSERT_EQ(renderer(id).presentation()->title, QStringLiteral("详情"));
    renderer(id).invokeAction();
    QPointer<QWidget> window = renderer(id).detailsWindow();
    ASSERT_TRUE(window);
    renderer(id).invokeAction();
    EXPECT_EQ(renderer(id).detailsWindow(), window.data()) << "pressed twice, still one window";
    EXPECT_EQ(window->windowTitle(), QStringLiteral("图片置顶结果"));
    coordinator->remove(id);
    EXPECT_TRUE(runUntil([&] { return window.isNull(); }));
}

// A window manager's close only hides the details window: "详情" must show it again.
TEST_F(FeedbackCoordinatorTest, DetailsOpenAgainAfterTheWindowWasClosed)
{
    const QUuid id = begin();
    ASSERT_TRUE(coordinator->failure(id, QStringLiteral("2张图片未能置顶"), QStringLiteral("a.png：无法读取")));
    renderer(id).invokeAction();
    QPointer<QWidget> window = renderer(id).detailsWindow();
    ASSERT_TRUE(window && window->isVisible());
    window->close();
    ASSERT_TRUE(window && !window->isVisible());
    renderer(id).invokeAction();
    EXPECT_EQ(renderer(id).detailsWindow(), window.data());
    EXPECT_TRUE(window->isVisible()) << "shown again";
}

// The save failure's two lines and the queue suffix: every line laid out, the body as wide as
// the widest line (not both end to end), the suffix at the end of the last line.
TEST_F(FeedbackCoordinatorTest, AFailureOfTwoLinesShowsBothWithTheQueueSuffix)
{
    const QString message = QStringLiteral("保存失败：磁盘空间不足\n截图与保存设置已保留，可重试。");
    const QUuid head = fail(message);
    fail(QStringLiteral("复制失败"));
    fail(QStringLiteral("复制失败"));
    OutputToastRenderer& shown = renderer(head);
    ASSERT_TRUE(shown.panel());
    const QStringList lines = shown.label()->text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2) << shown.label()->text().toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("保存失败：磁盘空间不足"));
    EXPECT_EQ(lines[1], QStringLiteral("截图与保存设置已保留，可重试。（另有2项待处理，关闭后查看）"));

    const QFontMetricsF metrics(shown.label()->font());
    EXPECT_GE(shown.label()->height(), 2 * metrics.height() - 1) << "room for both lines";
    const double body = shown.surface()->bodyRect().width();
    // A failure without an action button: 94 beside its text.
    EXPECT_NEAR(body, metrics.horizontalAdvance(lines[1]) + 94, 2) << "measured by its widest line";
    EXPECT_GE(shown.surface()->bodyRect().height(), 40 + metrics.lineSpacing() - 1);
    EXPECT_LE(shown.closeButton()->geometry().bottom(), shown.label()->geometry().top() + 24)
        << "the close button beside the first line";

    QImage image(shown.panel()->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    shown.panel()->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.end();
    saveTestImage(image, QStringLiteral("toast-two-lines-two-queued"));
    // Ink in both halves of the label.
    const QRect label = shown.label()->geometry();
    EXPECT_TRUE(bothLinesInked(image, label));
}

// The panel never becomes active; its tool tips show all the same.
TEST_F(FeedbackCoordinatorTest, ToolTipsShowOnTheNeverActivePanel)
{
    const QUuid id = fail(QStringLiteral("复制失败"));
    QWidget* panel = renderer(id).panel();
    ASSERT_TRUE(panel);
    EXPECT_TRUE(panel->testAttribute(Qt::WA_AlwaysShowToolTips));
    ASSERT_TRUE(runUntil([&] { return panel->isVisible(); }));
    EXPECT_FALSE(panel->isActiveWindow());
    QWidget* close = renderer(id).closeButton();
    QTest::mouseMove(close, close->rect().center());
    EXPECT_TRUE(runUntil([] { return QToolTip::isVisible(); }, 3s));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("关闭提示"));
    QToolTip::hideText();
}

TEST_F(FeedbackCoordinatorTest, WithoutACompositorThePanelIsMaskedToItsBody)
{
    fixture.windows->setCompositor(false);
    OutputToast toast(coordinator);
    toast.showSuccess(QStringLiteral("已保存"), ToastFixture::left);
    QWidget* panel = renderer(*toast.current).panel();
    ASSERT_TRUE(panel);
    EXPECT_FALSE(panel->mask().isEmpty());
    EXPECT_FALSE(panel->mask().contains(QPoint(2, 2))) << "the shadow margin is cut away";
    EXPECT_TRUE(panel->mask().contains(QPoint(panel->width() / 2, panel->height() / 2)));
    fixture.windows->setCompositor(true);
    EXPECT_TRUE(panel->mask().isEmpty()) << "a compositor that starts brings the shadows back";
}
