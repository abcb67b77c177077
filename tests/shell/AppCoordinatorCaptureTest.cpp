// The capture road on fakes: a capture platform held open or failed on demand, pins, alerts
// and the budget scripted; the real overlay windows and editors on the offscreen platform.
#include "CaptureRoadFixture.h"

#include "app/base/ImageResourceStore.h"
#include "app/capture/CaptureFailure.h"
#include "app/capture/CaptureService.h"
#include "app/editor/CaptureOverlaySet.h"
#include "app/editor/CaptureOverlayWindow.h"
#include "app/editor/EditorDocument.h"
#include "app/editor/OverlayView.h"
#include "app/shell/WarmStart.h"
#include "editor/HostViewFixture.h"
#include "support/MarkFixtures.h"
#include "support/MemoryLogSink.h"
#include "support/TestSupport.h"
#include "support/WidgetGallery.h"
#include "app/base/AlertDialog.h"

#include <QCoreApplication>
#include <QPainter>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace vorlith;
using namespace vorlith::test;


TEST(CaptureRoad, ShowsOneEditorPerDisplayAndEndsGivingEverythingBack)
{
    ScopedLogCapture log;
    CaptureRoad f;
    f.pins->windowIDs = {77};
    f.open(quint16(67));
    ASSERT_EQ(f.c().overlays().size(), 2u);
    EXPECT_EQ(f.c().frames().size(), 2u);
    EXPECT_TRUE(f.c().holdsCaptureLeases());
    EXPECT_FALSE(f.c().holdsCaptureReservation()); // committed to the frozen images
    EXPECT_EQ(f.c().captureService().includedOwnWindowIDs(), QSet<quint32>{77});
    EXPECT_EQ(f.c().documents().all().size(), 2u);
    EXPECT_TRUE(f.suspended(ShortcutAction::capture));
    EXPECT_TRUE(f.suspended(ShortcutAction::pin));
    EXPECT_FALSE(f.c().captureMenuItem()->isEnabled());
    EXPECT_EQ(log.events().filter(QRegularExpression(QStringLiteral("^(capture\\.(begin|ready|failed|exit)|overlay\\.shown)$"))),
              (QStringList{QStringLiteral("capture.begin"), QStringLiteral("capture.ready"), QStringLiteral("overlay.shown")}));

    // Esc without a selection: nothing to keep; the previous program gets the keyboard back.
    f.view(1)->onExit();
    f.expectIdle();
    EXPECT_TRUE(f.c().documents().all().empty());
    EXPECT_FALSE(f.c().recoveryStore().current());
    ASSERT_FALSE(f.restored.empty());
    EXPECT_EQ(f.restored.back()->windowClass, QStringLiteral("Gedit"));
    EXPECT_TRUE(log.events().contains(QStringLiteral("capture.exit")));
    // The overlay windows stay made for the next capture: they do not count as open.
    EXPECT_EQ(f.c().overlaySet().windows().size(), 2u);
    f.open();
    EXPECT_EQ(f.c().overlaySet().windowsMade(), 2);
}

TEST(CaptureRoad, ABusyStartOnlyLogsAndAPendingCaptureEndsWithoutATrace)
{
    ScopedLogCapture log;
    CaptureRoad f;
    f.capture->hold.emplace();
    OneShot<> gate = *f.capture->hold;
    f.c().startCapture(std::nullopt);
    ASSERT_TRUE(runUntil([&] { return f.capture->calls.contains(QStringLiteral("shareableContent")); }));
    ASSERT_TRUE(f.c().captureRunning());
    const QUuid generation = f.c().generation();

    f.c().startCapture(quint16(67));
    EXPECT_EQ(log.events().count(QStringLiteral("capture.begin")), 1);
    EXPECT_EQ(log.events().count(QStringLiteral("capture.ignored.busy")), 1);
    EXPECT_EQ(f.c().generation(), generation);
    EXPECT_FALSE(f.c().captureActivationKey());

    // Finished while the capture waits: its frames are dropped when they come.
    f.c().finishCapture(false);
    f.expectIdle();
    gate.resume();
    QCoreApplication::processEvents();
    runUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_FALSE(f.c().hasOverlays());
    EXPECT_FALSE(log.events().contains(QStringLiteral("capture.ready")));
    EXPECT_FALSE(log.events().contains(QStringLiteral("capture.failed")));
    EXPECT_TRUE(f.alerts->shown.empty());
}

TEST(CaptureRoad, FailuresReleaseEverythingAndSayWhy)
{
    // Each way a capture can fail, and the detail its alert gives.
    struct Case {
        const char* name;
        std::function<void(CaptureRoad&)> arrange;
        QString detail;
    };
    const Case cases[] = {
        {"capture failure", [](CaptureRoad& f) {
             f.capture->contentError = std::make_exception_ptr(
                 CapturePlatformError(QString::fromUtf8(CaptureStreamError::domain), CaptureStreamError::failedToStart));
         },
         CaptureFailure(CaptureFailure::unavailable).description()},
        {"any other error", [](CaptureRoad& f) {
             f.capture->contentError = std::make_exception_ptr(std::runtime_error("broken"));
         },
         AppCoordinator::captureIncompleteDetail()},
        {"held, then failed", [](CaptureRoad& f) {
             f.capture->hold.emplace();
             OneShot<> gate = *f.capture->hold;
             QTimer::singleShot(20, [gate]() mutable { gate.fail(std::make_exception_ptr(std::runtime_error("late"))); });
         },
         AppCoordinator::captureIncompleteDetail()},
        // A frozen image larger than the preflight reserved: the commit refuses it.
        {"commit refused", [](CaptureRoad& f) {
             f.capture->images.insert(1, Bitmap::create(640, 400));
         },
         AppCoordinator::captureIncompleteDetail()},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        ScopedLogCapture log;
        CaptureRoad f;
        test.arrange(f);
        f.c().startCapture(quint16(67));
        ASSERT_TRUE(runUntil([&] { return !f.c().captureRunning(); }));
        f.expectIdle();
        EXPECT_TRUE(log.events().contains(QStringLiteral("capture.failed")));
        EXPECT_FALSE(log.events().contains(QStringLiteral("capture.ready")));
        ASSERT_EQ(f.alerts->shown.size(), 1u);
        EXPECT_EQ(f.alerts->shown[0].message, AppCoordinator::captureFailedMessage());
        EXPECT_EQ(f.alerts->shown[0].informativeText, test.detail);
        // The hot keys are back to what the idle rules say.
        EXPECT_FALSE(f.suspended(ShortcutAction::pin));
    }
}

TEST(CaptureRoad, ARefusedPreflightHoldsNothing)
{
    ScopedLogCapture log;
    CaptureRoad f(qint64(100'000));
    f.c().startCapture(quint16(67));
    f.expectIdle();
    EXPECT_EQ(f.pins->leasesTaken, 0);
    EXPECT_TRUE(log.events().contains(QStringLiteral("capture.begin")));
    EXPECT_FALSE(log.events().contains(QStringLiteral("capture.failed")));
    ASSERT_EQ(f.alerts->shown.size(), 1u);
    EXPECT_EQ(f.alerts->shown[0].message, QStringLiteral("暂时无法添加截图"));
    EXPECT_EQ(f.alerts->shown[0].informativeText,
              ImageResourceStore::Failure(ImageResourceStore::Failure::budget).description());
}

TEST(CaptureRoad, PreflightAsksForEachMonitorsNativePixels)
{
    // At 1.5 a 911-point-wide frame is 1366.5 pixels; the monitor has 1366. The grab gives the
    // monitor's own size, which the preflight must have reserved exactly (not a pixel short).
    CaptureRoad f;
    f.capture->screenList.clear();
    f.capture->content.displayIDs.clear();
    f.capture->bounds.clear();
    f.capture->content.displayIDs.push_back(5);
    f.capture->bounds.insert(5, Rect(0, 0, 1366, 768));
    f.capture->screenList.push_back(ScreenInfo{5, Rect(0, 0, 1366 / 1.5, 768 / 1.5), 1.5});
    f.open();
    EXPECT_TRUE(f.alerts->shown.empty());
    EXPECT_EQ(f.c().frames().front().image.size(), QSize(1366, 768));
}

TEST(CaptureRoad, ACommittedSelectionTakesTheOtherDisplaysInputAway)
{
    CaptureRoad f;
    f.open();
    OverlayView* one = f.view(1);
    OverlayView* two = f.view(2);
    ASSERT_TRUE(one && two);
    EXPECT_TRUE(one->canInteract() && two->canInteract());
    one->onCommit();
    EXPECT_TRUE(one->canInteract());
    EXPECT_FALSE(two->canInteract());
    EXPECT_TRUE(f.window(1)->acceptsCaptureInput());
    EXPECT_FALSE(f.window(2)->acceptsCaptureInput());
    EXPECT_EQ(f.c().selectedDisplay(), std::optional<quint32>(1));
    f.c().setTerminationFrozen(true);
    EXPECT_FALSE(one->canInteract());
    f.c().setTerminationFrozen(false);
}

TEST(CaptureRoad, PinningHandsTheDocumentOverAndRefusesTheEleventh)
{
    CaptureRoad f;
    for (int i = 0; i < 10; ++i)
        f.pins->states.push_back({QUuid::createUuid(), true});
    f.open();
    OverlayView* view = f.view(1);
    CaptureRoad::markUp(*view);
    EXPECT_FALSE(view->onPin(view->record()));
    EXPECT_TRUE(f.c().hasOverlays());
    EXPECT_TRUE(f.pins->added.empty());

    f.pins->states.pop_back();
    EXPECT_TRUE(view->onPin(view->record()));
    EXPECT_FALSE(f.c().hasOverlays());
    ASSERT_EQ(f.pins->added.size(), 1u);
    // Near the selection's centre, in global coordinates (display 1 stands at the origin).
    EXPECT_EQ(f.pins->added[0].second, (Point{60, 50}));
    // The pinned document lives on; the other display's is gone.
    EXPECT_EQ(f.c().documents().all().size(), 1u);
}

TEST(CaptureRoad, EscKeepsWhatCanBeReopenedOnce)
{
    struct Case {
        const char* name;
        bool marked;
        bool kept;
    };
    for (const Case test : {Case{"a selection with a mark", true, true}, Case{"a selection alone", false, false}}) {
        SCOPED_TRACE(test.name);
        CaptureRoad f;
        f.open();
        OverlayView* view = f.view(2);
        if (test.marked) {
            CaptureRoad::markUp(*view);
        } else {
            view->record().session.setSelection(Rect(0, 0, 50, 50));
            ASSERT_TRUE(view->record().session.commit());
        }
        const QUuid id = view->record().id();
        view->onExit();
        EXPECT_FALSE(f.c().hasOverlays());
        EXPECT_EQ(f.c().recoveryStore().current().has_value(), test.kept);
        EXPECT_EQ(f.c().recoveryMenuItem()->isVisible(), test.kept);
        if (test.kept) {
            EXPECT_EQ(f.c().recoveryStore().current()->document.id(), id);
            EXPECT_EQ(f.c().recoveryStore().current()->displayID, 2u);
        }
        EXPECT_TRUE(f.alerts->shown.empty());
    }
}

TEST(CaptureRoad, ReopeningRestoresTheDocumentAndAnUnchangedEscReservesNothing)
{
    CaptureRoad f;
    f.open();
    CaptureRoad::markUp(*f.view(2));
    const QUuid id = f.view(2)->record().id();
    f.view(2)->onExit();
    ASSERT_TRUE(f.c().recoveryStore().current());

    f.c().recoverCapture();
    ASSERT_TRUE(f.c().hasOverlays());
    EXPECT_EQ(f.view(2)->record().id(), id);
    EXPECT_EQ(f.view(2)->record().session.annotations().size(), 1u);
    EXPECT_EQ(f.c().selectedDisplay(), std::optional<quint32>(2));
    EXPECT_FALSE(f.view(1)->canInteract());
    EXPECT_FALSE(f.window(1)->acceptsCaptureInput());
    EXPECT_FALSE(f.c().holdsCaptureReservation());

    // A second reopen while the first is open: refused without a word.
    const std::size_t windows = f.c().overlaySet().windowsMade();
    f.c().recoverCapture();
    EXPECT_EQ(std::size_t(f.c().overlaySet().windowsMade()), windows);
    EXPECT_TRUE(f.alerts->shown.empty());

    // Unchanged: no reservation is asked (a full budget would refuse it) and the kept
    // recovery stays as it was.
    f.fillBudget();
    f.view(2)->onExit();
    EXPECT_FALSE(f.c().hasOverlays());
    EXPECT_TRUE(f.alerts->shown.empty());
    ASSERT_TRUE(f.c().recoveryStore().current());
    EXPECT_EQ(f.c().recoveryStore().current()->document.id(), id);
    f.releaseBudget();
}

TEST(CaptureRoad, AReopenOnChangedDisplaysIsRefusedAndTheRecoveryStays)
{
    struct Case {
        const char* name;
        std::function<void(FakeCapturePlatform&)> change;
    };
    const Case cases[] = {
        {"a display unplugged", [](FakeCapturePlatform& p) { p.screenList.pop_back(); }},
        {"a display added", [](FakeCapturePlatform& p) { p.screenList.push_back(ScreenInfo{9, Rect(640, 0, 100, 100), 1}); }},
        {"a display moved", [](FakeCapturePlatform& p) { p.screenList[1].frame.origin.y = 10; }},
        {"a display rescaled", [](FakeCapturePlatform& p) { p.screenList[0].scale = 2; }},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        CaptureRoad f;
        f.open();
        CaptureRoad::markUp(*f.view(1));
        f.view(1)->onExit();
        ASSERT_TRUE(f.c().recoveryStore().current());
        test.change(*f.capture);
        f.c().recoverCapture();
        EXPECT_FALSE(f.c().hasOverlays());
        EXPECT_FALSE(f.c().holdsCaptureLeases());
        ASSERT_EQ(f.alerts->shown.size(), 1u);
        EXPECT_EQ(f.alerts->shown[0].message, QStringLiteral("原截图的显示器已改变"));
        EXPECT_EQ(f.alerts->shown[0].informativeText, QStringLiteral("未完成截图仍保留。请恢复原显示器配置后再次找回。"));
        EXPECT_TRUE(f.c().recoveryStore().current());
    }
    // A screen without a display id is not counted.
    CaptureRoad f;
    f.open();
    CaptureRoad::markUp(*f.view(1));
    f.view(1)->onExit();
    f.capture->screenList.push_back(ScreenInfo{std::nullopt, Rect(640, 0, 100, 100), 1});
    f.c().recoverCapture();
    EXPECT_TRUE(f.c().hasOverlays());
}

TEST(CaptureRoad, AnOutputWhoseKeepIsRefusedSaysSoAndKeepsTheEarlierRecovery)
{
    struct Case {
        const char* name;
        bool earlier;
        QString text;
    };
    for (const Case& test : {Case{"nothing kept before", false, AppCoordinator::outputKeptNoneMessage()},
                             Case{"an earlier capture kept", true, AppCoordinator::outputKeptEarlierMessage()}}) {
        SCOPED_TRACE(test.name);
        CaptureRoad f;
        std::optional<QUuid> earlier;
        if (test.earlier) {
            f.open();
            CaptureRoad::markUp(*f.view(1));
            earlier = f.view(1)->record().id();
            f.view(1)->onExit();
        }
        f.open();
        OverlayView* view = f.view(2);
        // A document of some 90 KB (200 marks, in the content and once more in the history).
        CaptureRoad::markUp(*view, 200);
        // Room for the failure toast (16 KiB), not for the document.
        f.fillBudget(20 * 1024);
        EditorOutputSuccess success{QUuid::createUuid(), *view->record().session.document(), false, Point{5, 5},
                                    QStringLiteral("已复制截图")};
        view->onOutputCompleted(success);
        EXPECT_FALSE(f.c().hasOverlays());
        const FeedbackCoordinator& toasts = f.c().feedbackCoordinator();
        ASSERT_EQ(toasts.failures().size(), 1u);
        EXPECT_EQ(toasts.record(toasts.failures().front())->message, test.text);
        EXPECT_EQ(f.c().recoveryStore().current().has_value(), test.earlier);
        if (earlier) {
            EXPECT_EQ(f.c().recoveryStore().current()->document.id(), *earlier);
        }
        f.releaseBudget();
    }
}

TEST(CaptureRoad, AnOutputKeepsTheCaptureEvenWithoutAMark)
{
    CaptureRoad f;
    f.open();
    OverlayView* view = f.view(1);
    view->record().session.setSelection(Rect(0, 0, 40, 40));
    ASSERT_TRUE(view->record().session.commit());
    const QUuid id = view->record().id();
    view->onOutputCompleted({QUuid::createUuid(), *view->record().session.document(), false, Point{}, QString()});
    EXPECT_FALSE(f.c().hasOverlays());
    ASSERT_TRUE(f.c().recoveryStore().current());
    EXPECT_EQ(f.c().recoveryStore().current()->document.id(), id);
}

TEST(CaptureRoad, TheDiscardAlertDecidesAndNothingEndsTheCaptureMeanwhile)
{
    struct Case {
        const char* name;
        int answer;
        bool stays;
    };
    for (const Case test : {Case{"返回编辑", Alert::firstButton, true}, Case{"丢弃并退出", Alert::secondButton, false}}) {
        SCOPED_TRACE(test.name);
        CaptureRoad f;
        f.open();
        OverlayView* view = f.view(1);
        CaptureRoad::markUp(*view);
        f.fillBudget();
        f.alerts->answers = {test.answer};
        int exitsMeanwhile = 0;
        f.alerts->whileShown = [&](const Alert&) {
            // A second Esc and a display change while the alert asks.
            if (exitsMeanwhile++ > 0)
                return;
            f.view(1)->onExit();
            f.c().captureDisplaysChanged();
        };
        view->onExit();
        ASSERT_EQ(f.alerts->shown.size(), 1u);
        EXPECT_EQ(f.alerts->shown[0].message, QStringLiteral("暂时无法保留最近截图"));
        EXPECT_EQ(f.alerts->shown[0].buttons, (QStringList{QStringLiteral("返回编辑"), QStringLiteral("丢弃并退出")}));
        EXPECT_EQ(f.c().hasOverlays(), test.stays);
        EXPECT_EQ(f.c().holdsCaptureLeases(), test.stays);
        EXPECT_FALSE(f.c().recoveryStore().current());
        f.releaseBudget();
    }
}

TEST(CaptureRoad, ADisplayChangeEndsTheCaptureKeepingItThenSaysSo)
{
    CaptureRoad f;
    f.open();
    CaptureRoad::markUp(*f.view(1));
    f.c().captureDisplaysChanged();
    EXPECT_FALSE(f.c().hasOverlays());
    EXPECT_TRUE(f.c().recoveryStore().current());
    ASSERT_EQ(f.alerts->shown.size(), 1u);
    EXPECT_EQ(f.alerts->shown[0].message, AppCoordinator::displaysChangedMessage());
    EXPECT_EQ(f.alerts->shown[0].informativeText, AppCoordinator::displaysChangedDetail());
    // With no capture, a display change says nothing.
    f.c().captureDisplaysChanged();
    EXPECT_EQ(f.alerts->shown.size(), 1u);
}

TEST(CaptureRoad, TheFocusGoesBackWhereItWas)
{
    struct Case {
        const char* name;
        bool ours;
        bool pinEditing;
        bool restores;
    };
    const Case cases[] = {
        {"another program in front", false, false, true},
        {"our pin being edited", true, true, false},
        {"our own window, no pin", true, false, true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        CaptureRoad f;
        const FrontApplication other{4242, 77, QStringLiteral("Gedit")};
        if (test.ours) {
            f.c().environment.frontApplication = [] {
                return std::optional<FrontApplication>(FrontApplication{qint32(::getpid()), 5, QStringLiteral("vorlith")});
            };
        }
        if (test.pinEditing)
            f.pins->editor = QUuid::createUuid();
        f.restored.clear();
        f.open();
        f.view(1)->onExit();
        EXPECT_EQ(!f.restored.empty(), test.restores);
        if (!test.ours && !f.restored.empty()) {
            EXPECT_EQ(f.restored.back(), std::optional<FrontApplication>(other));
        }
    }
}

TEST(CaptureRoad, TheHotKeyStillHeldIsSuppressedInTheEditors)
{
    struct Case {
        const char* name;
        bool down;
        std::optional<quint16> key;
        bool suppressed;
    };
    const Case cases[] = {
        {"F1 still held", true, quint16(67), true},
        {"F1 already up", false, quint16(67), false},
        {"from the menu", true, std::nullopt, false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        CaptureRoad f;
        // F1 is 122 in the settings file, 67 as an X key code.
        if (test.down)
            f.hotKeys->keysDown.insert(122);
        f.open(test.key);
        EXPECT_EQ(f.c().captureActivationKey(), test.key);
        for (quint32 display : {1u, 2u})
            EXPECT_EQ(EditorHostViewProbe::suppressesKey(*f.view(display), 67), test.suppressed);
        f.view(1)->onExit();
        EXPECT_FALSE(f.c().captureActivationKey());
    }
}

TEST(CaptureRoad, TheWarmStartPreparesWhatTheFirstCaptureUses)
{
    ScopedLogCapture log;
    CaptureRoad f(std::nullopt, true);
    WarmStart* warm = f.c().warmStart();
    ASSERT_TRUE(warm);
    ASSERT_TRUE(runUntil([&] { return warm->isWarm(); }));
    // The windows of both displays, and one grab of each that nobody was told about.
    EXPECT_EQ(f.c().overlaySet().windowsMade(), 2);
    EXPECT_FALSE(f.c().hasOverlays());
    EXPECT_EQ(f.capture->requests.size(), 2u);
    EXPECT_FALSE(log.events().contains(QStringLiteral("capture.frame.ready")));

    // The capture shows the windows already made.
    f.open();
    EXPECT_EQ(f.c().overlaySet().windowsMade(), 2);
    // Nothing runs while the capture is open; keeping it prepares again once it has ended.
    const std::size_t grabs = f.capture->requests.size();
    CaptureRoad::markUp(*f.view(1));
    f.view(1)->onExit();
    ASSERT_TRUE(f.c().recoveryStore().current());
    ASSERT_TRUE(runUntil([&] { return warm->isWarm(); }));
    EXPECT_EQ(f.capture->requests.size(), grabs + 2);
    EXPECT_EQ(f.c().overlaySet().windowsMade(), 2);
}

TEST(CaptureRoad, TheWarmStartWaitsWhileACaptureRuns)
{
    CaptureRoad f(std::nullopt, true);
    f.capture->hold.emplace();
    OneShot<> gate = *f.capture->hold;
    // Started before the warm start's first step.
    f.c().startCapture(std::nullopt);
    runUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_FALSE(f.c().warmStart()->isWarm());
    EXPECT_EQ(f.c().overlaySet().windowsMade(), 0);
    gate.resume();
    ASSERT_TRUE(runUntil([&] { return f.c().hasOverlays(); }));
    f.c().finishCapture(false);
    ASSERT_TRUE(runUntil([&] { return f.c().warmStart()->isWarm(); }));
    EXPECT_EQ(f.c().overlaySet().windowsMade(), 2);
}

TEST(CaptureRoad, GalleryOfTheReopenedCaptureAndItsAlerts)
{
    for (double scale : {1.0, 2.0}) {
        CaptureRoad f(std::nullopt, false, QSize(760, 470));
        f.capture->fill = QColor(70, 120, 170);
        f.open();
        CaptureRoad::markUp(*f.view(1), 3);
        f.view(1)->onExit();
        f.c().recoverCapture();
        ASSERT_TRUE(f.c().hasOverlays());
        OverlayView* view = f.view(1);
        view->renderMarks();
        runUntil([&] { return view->record().compositor().cachedMarks() == view->record().session.annotations(); });
        std::vector<GalleryTile> tiles;
        const QImage reopened = renderAtScale(*view, scale);
        tiles.push_back({QStringLiteral("reopened capture (3 marks)"), reopened});

        // One more mark, and no room to keep it: the discard alert, over the overlay.
        view->record().session.beginEdit(EditorSession::EditKind::gesture);
        std::vector<Annotation> marks = view->record().session.annotations();
        marks.push_back(penMark(200, 200));
        view->record().session.setAnnotations(marks);
        ASSERT_TRUE(view->record().session.commit());
        f.fillBudget();
        f.alerts->answers = {Alert::firstButton};
        view->onExit();
        ASSERT_EQ(f.alerts->shown.size(), 1u);
        AlertDialog discard(f.alerts->shown[0]);
        discard.adjustSize();
        const QImage alert = renderAtScale(discard, scale, 0);
        QImage over = reopened.copy();
        {
            QPainter painter(&over);
            painter.drawImage(QPoint((over.width() - alert.width()) / 2, (over.height() - alert.height()) / 2), alert);
        }
        tiles.push_back({QStringLiteral("discard alert over the overlays"), over});
        f.releaseBudget();
        f.c().finishCapture(false);

        // The displays changed: the mismatch alert.
        f.capture->screenList[1].scale = 2;
        f.c().recoverCapture();
        ASSERT_EQ(f.alerts->shown.size(), 2u);
        AlertDialog mismatch(f.alerts->shown[1]);
        mismatch.adjustSize();
        tiles.push_back({QStringLiteral("mismatch alert"), renderAtScale(mismatch, scale)});
        saveTestImage(gallerySheet(tiles, scale), QStringLiteral("capture-road-alerts-%1x").arg(int(scale)));
    }
}
