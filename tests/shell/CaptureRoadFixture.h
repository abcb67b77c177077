#pragma once

// The capture road's fixture: two displays side by side, launched, real overlays and editors
// on the offscreen platform over the coordinator's fakes.
#include "CoordinatorFixture.h"

#include "app/base/ImageResourceStore.h"
#include "app/capture/CaptureService.h"
#include "app/editor/CaptureOverlaySet.h"
#include "app/editor/CaptureOverlayWindow.h"
#include "app/editor/EditorDocument.h"
#include "app/editor/OverlayView.h"
#include "support/MarkFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace vorlith::test {

// Two displays side by side, launched, the launch's own alerts forgotten.
struct CaptureRoad : CoordinatorFixture {
    CaptureRoad(std::optional<qint64> limit = std::nullopt, bool warm = false, QSize display = QSize(320, 200))
    {
        memoryLimit = limit;
        warmStart = warm;
        capture->addDisplay(1, 0, 0, display.width(), display.height());
        capture->addDisplay(2, display.width(), 0, display.width(), display.height());
        launch();
        alerts->shown.clear();
    }
    ~CaptureRoad()
    {
        if (coordinator && coordinator->hasOverlays())
            coordinator->finishCapture(false);
    }

    AppCoordinator& c() { return *coordinator; }

    // Starts a capture and waits until its editors are shown.
    void open(std::optional<quint16> key = std::nullopt)
    {
        c().startCapture(key);
        ASSERT_TRUE(runUntil([&] { return c().hasOverlays(); }));
    }

    OverlayView* view(quint32 display)
    {
        for (CaptureOverlayWindow* window : c().overlays()) {
            if (window->displayID() == display)
                return qobject_cast<OverlayView*>(window->content());
        }
        return nullptr;
    }
    CaptureOverlayWindow* window(quint32 display)
    {
        for (CaptureOverlayWindow* window : c().overlays()) {
            if (window->displayID() == display)
                return window;
        }
        return nullptr;
    }

    // A selection with marks: a document that can be reopened.
    static void markUp(OverlayView& view, int marks = 1)
    {
        EditorSession& session = view.record().session;
        session.setSelection(Rect(10, 10, 100, 80));
        ASSERT_TRUE(session.commit());
        session.beginEdit(EditorSession::EditKind::gesture);
        std::vector<Annotation> annotations;
        for (int i = 0; i < marks; ++i)
            annotations.push_back(penMark(20 + i % 50, 20));
        session.setAnnotations(std::move(annotations));
        ASSERT_TRUE(session.commit());
    }

    // Takes every byte the budget still has but `leave`, so the next reservation of more is
    // refused.
    void fillBudget(qint64 leave = 0)
    {
        ImageResourceStore& store = *c().resources();
        std::optional<ImageResourceStore::WorkReservation> spare;
        if (leave > 0)
            spare = store.reserveWork(leave, ImageResourceStore::WorkKind::editing, 0);
        for (qint64 chunk = store.limit(); chunk > 0; chunk /= 2) {
            try {
                for (;;)
                    store.reserveWork(chunk, ImageResourceStore::WorkKind::editing, 0);
            } catch (const ImageResourceStore::Failure&) {
            }
        }
        if (spare)
            store.finishWork(*spare);
    }

    void releaseBudget()
    {
        ImageResourceStore& store = *c().resources();
        for (const auto& work : store.work().values())
            store.finishWork(work);
    }

    // Nothing of a capture attempt is held.
    void expectIdle()
    {
        EXPECT_FALSE(c().hasOverlays());
        EXPECT_FALSE(c().captureRunning());
        EXPECT_FALSE(c().holdsCaptureReservation());
        EXPECT_FALSE(c().holdsCaptureLeases());
        EXPECT_TRUE(c().resources()->captures().isEmpty());
        EXPECT_EQ(pins->leasesTaken, pins->leasesRestored);
        EXPECT_FALSE(c().captureActivationKey());
        EXPECT_FALSE(c().captureRestoresPinFocus());
        EXPECT_TRUE(c().captureService().includedOwnWindowIDs().isEmpty());
    }
};

} // namespace vorlith::test
