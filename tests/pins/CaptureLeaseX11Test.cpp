// The capture lease on a real X server with a window manager and a compositor: right after
// the lease (and the wait a capture makes when the lease hid windows) a root grab shows the
// pinned images without ring, strip or badge; restoring brings back the panels, the pins'
// stacking and the key window. Screens in build/test-output/capture-lease-x11-*.png.
#include "app/editor/EditorDocument.h"
#include "app/editor/EditorHostView.h"
#include "app/output/OutputCoordinator.h"
#include "app/output/OutputService.h"
#include "app/output/feedback/FeedbackCoordinator.h"
#include "app/pins/CapturePreparationLease.h"
#include "app/pins/PinWindowController.h"
#include "app/pins/PinWorkspace.h"
#include "platform/x11/X11FloatingWindows.h"
#include "support/FakePasteboard.h"
#include "support/TestSupport.h"
#include "support/X11Environment.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;
using namespace std::chrono_literals;

namespace {

const QColor imageColour(230, 120, 40);
const QColor beneathColour(40, 170, 200);

class Filled : public QWidget {
public:
    explicit Filled(QColor colour) : QWidget(nullptr, Qt::FramelessWindowHint), m_colour(colour) {}

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), m_colour); }

private:
    QColor m_colour;
};

bool near(const QColor& a, const QColor& b, int tolerance = 12)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

std::shared_ptr<EditorDocument> document(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(imageColour);
    const Size points{double(size.width()), double(size.height())};
    auto d = std::make_shared<EditorDocument>(EditorImageSource{QUuid::createUuid(), image, CaptureGeometry{points, points}},
                                              SaveDraft{},
                                              EditorSession(QUuid::createUuid(), std::nullopt, DocumentOrigin::localFile));
    d->session.setSelection(Rect(Point{}, points));
    EXPECT_TRUE(d->session.commit());
    return d;
}

QImage rootShot(const QString& name)
{
    QImage image = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    const bool composited = X11Environment::server()->options().compositor;
    saveTestImage(image, QStringLiteral("capture-lease-x11-%1-%2").arg(composited ? "composited" : "plain", name));
    return image;
}

std::vector<QWidget*> contentOrder(FloatingWindows& kit, const std::vector<PinWindowController*>& pins)
{
    std::vector<QWidget*> order;
    for (QWidget* window : kit.frontToBack())
        for (PinWindowController* pin : pins)
            if (pin->contentWindow() == window)
                order.push_back(window);
    return order;
}

} // namespace

TEST(CaptureLeaseX11, PanelsLeaveTheScreenAndComeBackInOrder)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    Filled beneath(beneathColour);
    beneath.setGeometry(screen->geometry().adjusted(4, 4, -4, -4));
    beneath.show();
    auto kit = std::make_shared<X11FloatingWindows>();
    PinWorkspace workspace(PinEnvironment::system(kit));
    auto output = std::make_shared<OutputService>(std::make_shared<FakePasteboard>());
    auto outputs = std::make_shared<OutputCoordinator>();
    auto feedback = std::make_shared<FeedbackCoordinator>(nullptr);
    workspace.makeHost = [&](std::shared_ptr<EditorDocument> d) {
        return new EditorHostView(d, true, output, outputs, feedback);
    };
    const QPoint centre = screen->geometry().center();
    ASSERT_TRUE(workspace.add(document(QSize(500, 300)), Point{centre.x() - 200.0, centre.y() - 100.0}));
    ASSERT_TRUE(workspace.add(document(QSize(500, 300)), Point{centre.x() + 100.0, centre.y() + 80.0}));
    PinWindowController* back = workspace.windows()[0].controller;
    PinWindowController* front = workspace.windows()[1].controller;
    ASSERT_TRUE(runUntil([&] { return front->contentWindow()->isVisible() && front->controlsWindow()->isVisible(); }));
    // Another window of ours holds the keyboard.
    Filled key(Qt::white);
    key.setGeometry(40, 40, 200, 120);
    key.show();
    key.activateWindow();
    ASSERT_TRUE(runUntil([&] { return QApplication::activeWindow() == &key; }));
    spin(400ms);
    const std::vector<QWidget*> before = contentOrder(*kit, {back, front});
    ASSERT_EQ(before, (std::vector<QWidget*>{front->contentWindow(), back->contentWindow()}));
    const QRect strip = front->controlsWindow()->geometry();
    const QRect badge = front->scaleWindow()->geometry();
    const QRect frame = front->contentWindow()->geometry();
    rootShot(QStringLiteral("before"));

    CapturePreparationLease lease(workspace);
    ASSERT_TRUE(lease.hidVisibleWindow());
    // As the capture does when our own windows were just hidden: the compositor repaints.
    spin(kit->hasCompositor() ? 100ms : 30ms);
    const QImage during = rootShot(QStringLiteral("leased"));
    EXPECT_TRUE(near(during.pixelColor(strip.center()), imageColour)) << "strip still on screen";
    EXPECT_TRUE(near(during.pixelColor(badge.center()), imageColour)) << "badge still on screen";
    EXPECT_TRUE(near(during.pixelColor(frame.center()), imageColour));
    // Just outside the image, where the border and its shadow were: what lies beneath.
    EXPECT_TRUE(near(during.pixelColor(frame.left() - 3, frame.center().y()), beneathColour, 20));
    EXPECT_EQ(workspace.contentWindowIDs().size(), 2);

    // During the capture the key window went to the back pin; restoring puts it all back.
    back->contentWindow()->activateWindow();
    kit->raise(back->contentWindow());
    spin(200ms);
    lease.restore();
    EXPECT_TRUE(runUntil([&] { return QApplication::activeWindow() == &key; }));
    EXPECT_TRUE(runUntil([&] { return contentOrder(*kit, {back, front}) == before; }));
    EXPECT_TRUE(front->controlsWindow()->isVisible());
    EXPECT_FALSE(front->captureSuspended);
    spin(300ms);
    const QImage after = rootShot(QStringLiteral("restored"));
    EXPECT_FALSE(near(after.pixelColor(strip.center()), imageColour)) << "the strip is back";
}
