// The review alert as the program shows it: through the dialog presenter, override-redirect at
// the alert level with the keyboard grab, its thumbnails clicked with xdotool.
#include "ReviewFixtures.h"

#include "app/base/DialogAlertPresenter.h"
#include "app/shell/TerminationPolicy.h"
#include "platform/FloatingWindowsFactory.h"
#include "platform/X11CaptureHelpers.h"
#include "support/TestSupport.h"
#include "support/X11Environment.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// A child's centre in native pixels of the root.
QPoint nativeCentre(const QWidget& child)
{
    const QWidget& window = *child.window();
    const double scale = window.screen()->devicePixelRatio();
    const QPointF inWindow = QPointF(child.mapTo(&window, QPoint())) + QRectF(child.rect()).center();
    return nativeGeometry(window).topLeft() + (inWindow * scale).toPoint();
}

} // namespace

TEST(TerminationReviewX11, AThumbnailClickedOnScreenEndsTheAlertAndNamesItsImage)
{
    const QList<TerminationReviewView::Entry> entries = screenshotEntries(4);
    auto view = std::make_unique<TerminationReviewView>(entries);
    TerminationSnapshot state;
    for (const TerminationReviewView::Entry& entry : entries)
        state.pendingImageIDs.insert(entry.id);
    Alert alert = TerminationPolicy::reviewAlert(TerminationIntent::quit, state);
    alert.accessory = view.get();

    DialogAlertPresenter presenter(FloatingWindowsFactory::make());
    bool clicked = false;
    QTimer::singleShot(0, [&] {
        QToolButton* second = view->buttons()[1];
        if (!runUntil([&] { return second->isVisible() && view->window()->isActiveWindow(); }, 10s)) {
            view->window()->close();
            return;
        }
        spin(300ms); // let the picture settle before it is kept
        saveTestImage(QGuiApplication::primaryScreen()->grabWindow(0).toImage(),
                      QStringLiteral("termination-review-x11-") + configName());
        const QPoint at = nativeCentre(*second);
        clicked = X11Environment::server()->run(QStringLiteral("xdotool"),
                                                {QStringLiteral("mousemove"), QString::number(at.x()),
                                                 QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")})
            == 0;
    });
    const int answer = presenter.run(alert);
    ASSERT_TRUE(clicked);
    EXPECT_EQ(answer, TerminationReviewView::abortedResponse);
    EXPECT_EQ(view->selectedID(), entries[1].id);
    EXPECT_EQ(view->parent(), nullptr);
}
