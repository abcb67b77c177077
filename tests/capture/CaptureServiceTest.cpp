#include "app/capture/CaptureFailure.h"
#include "app/capture/CaptureService.h"
#include "rendering/Bitmap.h"
#include "support/FakeCapturePlatform.h"
#include "support/MemoryLogSink.h"
#include "support/TaskOutcome.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vorlith;
using namespace vorlith::test;

namespace {

constexpr qint32 ownPID = 4242;
constexpr qint32 otherPID = 777;

// Two displays: a 1440 x 900 point display at scale 2 on the left and a 1920 x 1080 one at
// scale 1 on its right, in global pixels.
struct Fixture {
    std::shared_ptr<FakeCapturePlatform> platform = std::make_shared<FakeCapturePlatform>();
    CaptureService service{platform};
    ScopedLogCapture log;

    Fixture()
    {
        platform->pid = ownPID;
        platform->addDisplay(1, 0, 0, 1440, 900, 2);
        platform->addDisplay(2, 2880, 0, 1920, 1080, 1);
        platform->content.applicationProcessIDs = {otherPID, ownPID};
    }

    void addWindow(const WindowListEntry& window)
    {
        platform->windows.push_back(window);
        if (window.number)
            platform->content.windowIDs.push_back(*window.number);
    }

    TaskOutcome<std::vector<FrozenDisplay>> capture() { return finish(service.capture()); }
};

template<typename F>
WindowListEntry with(WindowListEntry w, F change)
{
    change(w);
    return w;
}

std::exception_ptr streamError(int code)
{
    return std::make_exception_ptr(CapturePlatformError(QString::fromLatin1(CaptureStreamError::domain), code));
}

} // namespace

TEST(CaptureService, FreezesEveryDisplayInScreenOrder)
{
    Fixture f;
    const auto outcome = f.capture();
    ASSERT_TRUE(outcome.finished);
    ASSERT_TRUE(outcome.value) << "capture threw";
    const std::vector<FrozenDisplay>& frames = *outcome.value;
    ASSERT_EQ(frames.size(), 2u);

    EXPECT_EQ(frames[0].id, 1u);
    EXPECT_EQ(frames[0].geometry.size, (Size{1440, 900}));
    EXPECT_EQ(frames[0].geometry.pixelSize, (Size{2880, 1800}));
    EXPECT_EQ(frames[0].screenFrame, Rect(0, 0, 1440, 900));
    EXPECT_EQ(frames[0].backingScale, 2.0);
    EXPECT_EQ(frames[0].image.size(), QSize(2880, 1800));
    EXPECT_EQ(frames[1].id, 2u);
    EXPECT_EQ(frames[1].geometry.pixelSize, (Size{1920, 1080}));
    EXPECT_EQ(frames[1].screenFrame, Rect(2880, 0, 1920, 1080));
    EXPECT_FALSE(frames[0].sourceID.isNull());
    EXPECT_NE(frames[0].sourceID, frames[1].sourceID);

    EXPECT_EQ(f.log.events(), (QStringList{"permission.preflight=true", "capture.enumerated.displays=2",
                                           "capture.frame.ready", "capture.frame.ready"}));
    // The window list is read once, after the shareable content; the screenshots come last,
    // one at a time.
    EXPECT_EQ(f.platform->calls.indexOf("windowList"), 2);
    EXPECT_EQ(f.platform->calls.filter("screenshot").size(), 2);
}

TEST(CaptureService, PreflightAnswerIsOnlyLogged)
{
    Fixture f;
    f.platform->preflight = false;
    const auto outcome = f.capture();
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(f.log.events().first(), "permission.preflight=false");
}

TEST(CaptureService, AsksForTheTruncatedPixelSizeAndKeepsTheImagesOwn)
{
    struct Case {
        Size points;
        double scale;
        QSize asked;
    };
    const Case cases[] = {
        {{1512, 982}, 2, {3024, 1964}},
        {{1366.5, 768.3}, 1.5, {2049, 1152}}, // 2049.75 x 1152.45: cut, not rounded
        {{1280, 720}, 1.5, {1920, 1080}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked.width());
        auto platform = std::make_shared<FakeCapturePlatform>();
        platform->addDisplay(7, 0, 0, c.points.width, c.points.height, c.scale);
        CaptureService service(platform);
        const auto outcome = finish(service.capture());
        ASSERT_TRUE(outcome.value);
        ASSERT_EQ(platform->requests.size(), 1u);
        EXPECT_EQ(QSize(platform->requests[0].width, platform->requests[0].height), c.asked);
        EXPECT_FALSE(platform->requests[0].showsCursor);
        EXPECT_EQ(outcome.value->front().geometry.size, c.points);
    }

    // A platform that grabs at native resolution hands back its own size: the frame follows
    // the image, never the product of points and scale.
    Fixture f;
    QImage native = Bitmap::create(2881, 1801);
    native.fill(Qt::white);
    f.platform->images.insert(1, native);
    const auto outcome = f.capture();
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->front().geometry.pixelSize, (Size{2881, 1801}));
}

TEST(CaptureService, LeavesOutScreensWithoutAShareableDisplay)
{
    Fixture f;
    f.platform->screenList.insert(f.platform->screenList.begin(), ScreenInfo{std::nullopt, Rect(0, 900, 800, 600), 1});
    f.platform->screenList.push_back(ScreenInfo{99u, Rect(4800, 0, 800, 600), 1}); // not shareable
    f.platform->screenList.push_back(ScreenInfo{2u, Rect(0, 0, 800, 600), std::numeric_limits<double>::quiet_NaN()});
    const auto outcome = f.capture();
    ASSERT_TRUE(outcome.value);
    ASSERT_EQ(outcome.value->size(), 2u);
    EXPECT_EQ((*outcome.value)[0].id, 1u);
    EXPECT_EQ((*outcome.value)[1].id, 2u);

    Fixture none;
    for (ScreenInfo& screen : none.platform->screenList)
        screen.displayID = screen.displayID == 1u ? std::optional<quint32>() : std::optional<quint32>(55u);
    const auto failed = none.capture();
    EXPECT_EQ(failed.errorAs<CaptureFailure>(), CaptureFailure(CaptureFailure::noDisplay));
    EXPECT_TRUE(none.platform->requests.empty());
    EXPECT_EQ(none.log.events().last(), "capture.error.domain=TolvaneApp.CaptureFailure.code=1");
}

TEST(CaptureService, RefusesEveryDisplayWhenOneShowsAProtectedWindow)
{
    Fixture f;
    WindowListEntry guarded = fakeWindow(30, otherPID, Rect(3000, 100, 400, 300)); // on display 2
    guarded.sharingState = sharingNone;
    f.addWindow(fakeWindow(31, otherPID, Rect(100, 100, 400, 300))); // on display 1, readable
    f.addWindow(guarded);
    const auto outcome = f.capture();
    EXPECT_EQ(outcome.errorAs<CaptureFailure>(), CaptureFailure(CaptureFailure::restrictedContent));
    EXPECT_TRUE(f.platform->requests.empty()) << "no screenshot is taken";
    EXPECT_EQ(f.log.events().last(), "capture.error.domain=TolvaneApp.CaptureFailure.code=4");

    // Hidden behind an opaque readable window of another application, it is no reason to refuse.
    Fixture covered;
    covered.addWindow(fakeWindow(32, otherPID + 1, Rect(2900, 0, 1000, 1000)));
    covered.addWindow(guarded);
    EXPECT_TRUE(covered.capture().value);
}

TEST(CaptureService, MapsStreamErrorsAndPassesOthersThrough)
{
    struct Case {
        std::exception_ptr error;
        std::optional<CaptureFailure> failure; // absent: the error comes out unchanged
        QString event;
    };
    const Case cases[] = {
        {streamError(-3801), CaptureFailure::permission, "capture.error.domain=CaptureStreamErrorDomain.code=-3801"},
        {streamError(-3802), CaptureFailure::unavailable, "capture.error.domain=CaptureStreamErrorDomain.code=-3802"},
        {streamError(-3803), CaptureFailure::configuration,
         "capture.error.domain=CaptureStreamErrorDomain.code=-3803"},
        {streamError(-3814), CaptureFailure::noDisplay, "capture.error.domain=CaptureStreamErrorDomain.code=-3814"},
        {streamError(-3815), CaptureFailure::noDisplay, "capture.error.domain=CaptureStreamErrorDomain.code=-3815"},
        {streamError(-3817), CaptureFailure::unavailable, "capture.error.domain=CaptureStreamErrorDomain.code=-3817"},
        {std::make_exception_ptr(CapturePlatformError(QStringLiteral("X11ConnectionDomain"), 5)), std::nullopt,
         "capture.error.domain=X11ConnectionDomain.code=5"},
        {std::make_exception_ptr(std::runtime_error("disk")), std::nullopt,
         "capture.error.domain=std::runtime_error.code=0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event.toStdString());
        for (bool duringScreenshot : {false, true}) {
            Fixture f;
            if (duringScreenshot)
                f.platform->shotErrors.insert(2, c.error); // the first display's frame is dropped
            else
                f.platform->contentError = c.error;
            const auto outcome = f.capture();
            ASSERT_TRUE(outcome.finished);
            ASSERT_FALSE(outcome.value);
            if (c.failure) {
                EXPECT_EQ(outcome.errorAs<CaptureFailure>(), c.failure);
            } else {
                EXPECT_FALSE(outcome.errorAs<CaptureFailure>());
                EXPECT_EQ(outcome.error, c.error) << "the very same error object";
            }
            EXPECT_EQ(f.log.events().last(), c.event);
            EXPECT_EQ(f.log.events().filter("capture.error").size(), 1);
        }
    }
}

TEST(CaptureService, EmptyImageIsAFailureNotAFrame)
{
    Fixture f;
    f.platform->images.insert(2, QImage());
    const auto outcome = f.capture();
    EXPECT_EQ(outcome.errorAs<CaptureFailure>(), CaptureFailure(CaptureFailure::unavailable));
}

TEST(CaptureService, KeepsOwnWindowsOutExceptTheIncludedOnes)
{
    Fixture f;
    f.addWindow(fakeWindow(40, ownPID, Rect(10, 10, 300, 300)));  // a pin
    f.addWindow(fakeWindow(41, ownPID, Rect(400, 10, 300, 300))); // settings
    f.service.setIncludedOwnWindowIDs({40, 77}); // 77 is not shareable
    ASSERT_TRUE(f.capture().value);
    ASSERT_EQ(f.platform->requests.size(), 2u);
    for (const ScreenshotRequest& request : f.platform->requests) {
        EXPECT_EQ(request.excludedProcessIDs, std::vector<qint32>{ownPID});
        EXPECT_EQ(request.exceptedWindowIDs, std::vector<quint32>{40});
    }
}

TEST(CaptureService, WindowsHiddenJustBeforeMakeTheFirstGrabWaitOnce)
{
    Fixture f;
    f.service.setOwnWindowsJustHidden(true);
    ASSERT_TRUE(f.capture().value);
    ASSERT_EQ(f.platform->requests.size(), 2u);
    EXPECT_TRUE(f.platform->requests[0].ownWindowsJustHidden);
    EXPECT_FALSE(f.platform->requests[1].ownWindowsJustHidden);
    // Spent: the next capture does not wait.
    EXPECT_FALSE(f.service.ownWindowsJustHidden());
}

TEST(CaptureService, CaptureOperationReplacesTheRealCapture)
{
    auto platform = std::make_shared<FakeCapturePlatform>();
    ScopedLogCapture log;
    FrozenDisplay given;
    given.id = 9;
    CaptureService replaced(platform, [given]() -> QCoro::Task<std::vector<FrozenDisplay>> {
        co_return std::vector<FrozenDisplay>{given};
    });
    const auto outcome = finish(replaced.capture());
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->front().id, 9u);
    EXPECT_TRUE(platform->calls.isEmpty());

    CaptureService failing(platform, []() -> QCoro::Task<std::vector<FrozenDisplay>> {
        throw CapturePlatformError(QString::fromLatin1(CaptureStreamError::domain), -3801);
        co_return {};
    });
    EXPECT_EQ(finish(failing.capture()).errorAs<CaptureFailure>(), CaptureFailure(CaptureFailure::permission));
    EXPECT_EQ(log.events().last(), "capture.error.domain=CaptureStreamErrorDomain.code=-3801");
}

TEST(CaptureService, PicksWindowCandidatesByTheRules)
{
    // Display 2 lies at (2880, 0) in global pixels; display 1 at the origin with scale 2.
    const auto nan = std::numeric_limits<double>::quiet_NaN();
    Fixture f;
    f.addWindow(fakeWindow(1, otherPID, Rect(3000, 100, 400, 300)));                             // front
    f.addWindow(with(fakeWindow(2, otherPID, Rect(3000, 100, 400, 300)), [](auto& w) { w.number = 900; })); // unlisted below
    f.platform->content.windowIDs.pop_back();
    f.addWindow(with(fakeWindow(3, otherPID, Rect(3000, 100, 400, 300)), [](auto& w) { w.ownerPID.reset(); }));
    f.addWindow(fakeWindow(4, ownPID, Rect(3000, 100, 400, 300)));                             // own, not included
    f.addWindow(with(fakeWindow(5, ownPID, Rect(2900, 50, 200, 100)), [](auto& w) { w.layer = 3; })); // included pin
    f.addWindow(with(fakeWindow(6, otherPID, Rect(3000, 0, 1000, 30)), [](auto& w) { w.layer = 25; })); // a panel
    f.addWindow(with(fakeWindow(7, otherPID, Rect(3000, 100, 400, 300)), [](auto& w) { w.layer.reset(); }));
    f.addWindow(with(fakeWindow(8, otherPID, Rect(3000, 100, 400, 300)), [](auto& w) { w.alpha = 0.0; }));
    f.addWindow(with(fakeWindow(9, otherPID, Rect(3000, 100, 400, 300)), [&](auto& w) { w.alpha = nan; }));
    f.addWindow(fakeWindow(10, otherPID, Rect(3000, 100, 1, 300)));                            // 1 wide
    f.addWindow(fakeWindow(11, otherPID, Rect(3000, 100, 300, 1)));                            // 1 high
    f.addWindow(fakeWindow(12, otherPID, Rect(6000, 100, 400, 300)));                          // outside both
    f.addWindow(fakeWindow(13, otherPID, Rect(4600, 1000, 400, 300)));                         // clipped
    f.addWindow(with(fakeWindow(14, otherPID, Rect(3000, 100, 400, 300)), [](auto& w) { w.bounds.reset(); }));
    f.addWindow(fakeWindow(15, otherPID, Rect(1000, 200, 2400, 600)));                         // spans both
    f.addWindow(with(fakeWindow(16, otherPID, Rect(3000, 100, 400, 300)), [](auto& w) { w.alpha = 0.3; }));
    f.service.setIncludedOwnWindowIDs({5});

    const auto outcome = f.capture();
    ASSERT_TRUE(outcome.value);
    const std::vector<FrozenDisplay>& frames = *outcome.value;
    EXPECT_EQ(frames[1].candidates, (std::vector<WindowCandidate>{
                                        {otherPID, Rect(120, 100, 400, 300)},
                                        {ownPID, Rect(20, 50, 200, 100)},
                                        {otherPID, Rect(1720, 1000, 200, 80)},
                                        {otherPID, Rect(0, 200, 520, 600)},
                                        {otherPID, Rect(120, 100, 400, 300)},
                                    }));
    // On the scale-2 display the pixels of the window list become points.
    EXPECT_EQ(frames[0].candidates, (std::vector<WindowCandidate>{{otherPID, Rect(500, 100, 940, 300)}}));
}

TEST(CaptureService, WindowOnePointWideAtScaleTwoIsNoCandidate)
{
    CaptureService::CandidateContext context;
    context.shareableWindowIDs = {1, 2};
    context.ownPID = ownPID;
    context.displayBounds = Rect(0, 0, 2880, 1800);
    context.scale = 2;
    context.geometry = CaptureGeometry{Size{1440, 900}, Size{2880, 1800}};
    const std::vector<WindowListEntry> windows{fakeWindow(1, otherPID, Rect(100, 100, 2, 400)),
                                               fakeWindow(2, otherPID, Rect(100, 100, 3, 400))};
    EXPECT_EQ(CaptureService::windowCandidates(windows, context),
              (std::vector<WindowCandidate>{{otherPID, Rect(50, 50, 1.5, 200)}}));
}

TEST(CaptureFailure, DescribesEachReasonInChinese)
{
    EXPECT_EQ(CaptureFailure(CaptureFailure::permission).description(),
              QStringLiteral("需要允许 Vorlith 录制屏幕，才能截取屏幕中的内容。"));
    EXPECT_EQ(CaptureFailure(CaptureFailure::noDisplay).description(), QStringLiteral("未找到可截取的显示器，请稍后重试。"));
    EXPECT_EQ(CaptureFailure(CaptureFailure::configuration).description(),
              QStringLiteral("当前应用的屏幕捕获配置不完整，请更新验证版本。"));
    EXPECT_EQ(CaptureFailure(CaptureFailure::unavailable).description(), QStringLiteral("屏幕捕获暂时未完成，请稍后重试。"));
    EXPECT_EQ(CaptureFailure(CaptureFailure::restrictedContent).description(),
              QStringLiteral("当前屏幕中有不允许截取的窗口。为避免截到它背后的错误画面，请关闭或遮住该窗口后重试。"));
    EXPECT_STREQ(CaptureFailure(CaptureFailure::noDisplay).what(), "未找到可截取的显示器，请稍后重试。");
    QSet<CaptureFailure> set{CaptureFailure::permission, CaptureFailure::permission, CaptureFailure::noDisplay};
    EXPECT_EQ(set.size(), 2);
}
