#include "app/output/feedback/FeedbackCoordinator.h"
#include "app/output/feedback/OutputToast.h"
#include "app/output/feedback/OutputToastRenderer.h"
#include "platform/CapturePlatformFactory.h"
#include "platform/x11/X11FloatingWindows.h"
#include "output/ToastFixture.h"
#include "support/TestSupport.h"
#include "support/X11ClientStacking.h"
#include "support/X11Environment.h"

#include <QDialog>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QWidget>
#include <QToolTip>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstring>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// A plain window in one flat colour that counts the clicks it gets.
class Backdrop : public QWidget {
public:
    explicit Backdrop(QColor colour, Qt::WindowFlags flags = Qt::Window) : QWidget(nullptr, flags), m_colour(colour) {}
    int presses = 0;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), m_colour); }
    void mousePressEvent(QMouseEvent*) override { ++presses; }

private:
    QColor m_colour;
};

bool exposed(QWidget* window)
{
    return window && window->windowHandle() && window->windowHandle()->isExposed();
}

QString hex(QWidget* window)
{
    return QStringLiteral("0x%1").arg(window->winId(), 0, 16);
}

class ToastWindowsX11 : public ::testing::Test {
protected:
    // A success toast that outlives the test even on a loaded machine: the tests hold its panel.
    static ToastEnvironment::Timing longLived()
    {
        ToastEnvironment::Timing timing;
        timing.successLifetime = std::chrono::minutes(5);
        return timing;
    }

    std::shared_ptr<X11FloatingWindows> windows = std::make_shared<X11FloatingWindows>();
    std::shared_ptr<FeedbackCoordinator> coordinator = std::make_shared<FeedbackCoordinator>(
        nullptr, ToastEnvironment{windows, ScreenLookup::system(CapturePlatformFactory::make()), longLived()});
    OutputToast toast{coordinator};
    QScreen* screen = QGuiApplication::primaryScreen();

    QWidget* showSuccess(const QString& message)
    {
        toast.showSuccess(message, toPoint(QPointF(screen->geometry().center())));
        QWidget* panel = toast.current ? coordinator->record(*toast.current)->renderer->panel() : nullptr;
        EXPECT_TRUE(runUntil([&] { return exposed(panel); }));
        spin(250ms); // past the fade-in
        return panel;
    }
    void TearDown() override { coordinator->shutdown(); }
};

} // namespace

TEST_F(ToastWindowsX11, ShowingAToastLeavesTheFocusWhereItWas)
{
    Backdrop focused(QColor(236, 240, 232));
    focused.setGeometry(200, 200, 400, 300);
    focused.show();
    focused.activateWindow();
    ASSERT_TRUE(runUntil([&] { return QGuiApplication::focusWindow() == focused.windowHandle(); }));
    QByteArray before;
    X11Environment::server()->run(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")}, &before);

    QWidget* panel = showSuccess(QStringLiteral("已复制到剪贴板"));
    ASSERT_TRUE(panel);
    const QUuid id = QUuid::createUuid();
    ASSERT_TRUE(coordinator->begin(id, toast.owner, toPoint(QPointF(screen->geometry().center())), QStringLiteral("正在保存"), [] {}));
    ASSERT_TRUE(runUntil([&] { return exposed(coordinator->record(id)->renderer->panel()); }));
    spin(200ms);

    EXPECT_EQ(QGuiApplication::focusWindow(), focused.windowHandle());
    QByteArray after;
    X11Environment::server()->run(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")}, &after);
    EXPECT_EQ(after, before) << "the X input focus did not move";
}

TEST_F(ToastWindowsX11, AClickOnASuccessToastReachesTheWindowBelow)
{
    Backdrop below(QColor(236, 240, 232));
    below.setGeometry(screen->availableGeometry());
    below.show();
    ASSERT_TRUE(runUntil([&] { return exposed(&below); }));
    spin(100ms);

    QWidget* panel = showSuccess(QStringLiteral("已保存"));
    ASSERT_TRUE(panel);
    const QPoint centre = panel->geometry().center();
    X11Environment::server()->run(QStringLiteral("xdotool"),
                                  {QStringLiteral("mousemove"), QString::number(centre.x()), QString::number(centre.y()),
                                   QStringLiteral("click"), QStringLiteral("1")});
    EXPECT_TRUE(runUntil([&] { return below.presses == 1; })) << "the click went to the toast";
}

TEST_F(ToastWindowsX11, ClickThroughIsSwitchedOnTheShownPanel)
{
    Backdrop below(QColor(236, 240, 232));
    below.setGeometry(screen->availableGeometry());
    below.show();
    ASSERT_TRUE(runUntil([&] { return exposed(&below); }));
    spin(100ms);

    // A progress toast takes clicks (it has "取消")...
    const QUuid id = QUuid::createUuid();
    ASSERT_TRUE(coordinator->begin(id, toast.owner, toPoint(QPointF(screen->geometry().center())), QStringLiteral("正在复制"), [] {}));
    QWidget* panel = nullptr;
    ASSERT_TRUE(runUntil([&] {
        panel = coordinator->record(id)->renderer->panel();
        return exposed(panel);
    }));
    spin(200ms);
    const QPoint text = panel->geometry().topLeft() + QPoint(24 + 60, panel->height() / 2);
    auto clickAt = [&](QPoint p) {
        X11Environment::server()->run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(p.x()),
                                                                  QString::number(p.y()), QStringLiteral("click"), QStringLiteral("1")});
    };
    clickAt(text);
    spin(300ms);
    EXPECT_EQ(below.presses, 0) << "the progress toast kept the click";
    // ...and once the same panel shows success, clicks pass through it.
    coordinator->success(id, QStringLiteral("已复制"));
    ASSERT_EQ(coordinator->record(id)->renderer->panel(), panel) << "the panel is the same one";
    spin(100ms);
    clickAt(text);
    EXPECT_TRUE(runUntil([&] { return below.presses == 1; }));
    EXPECT_TRUE(panel->isVisible());
}

TEST_F(ToastWindowsX11, AToastStandsAboveAnOverrideRedirectFullScreenWindow)
{
    // The toast comes first; the overlay, placed through the same service, is shown after it,
    // and restacking puts the toast back on top.
    QWidget* panel = showSuccess(QStringLiteral("已复制到剪贴板"));
    ASSERT_TRUE(panel);
    Backdrop overlay(QColor(255, 0, 255));
    windows->place(&overlay, WindowLevel::captureOverlay, true);
    overlay.setGeometry(screen->geometry());
    windows->show(&overlay);
    ASSERT_TRUE(runUntil([&] { return exposed(&overlay); }));
    spin(300ms);
    EXPECT_TRUE(overlay.windowFlags().testFlag(Qt::BypassWindowManagerHint));

    const QImage desktop = screen->grabWindow(0).toImage();
    saveTestImage(desktop, QStringLiteral("toast-above-overlay-%1").arg(windows->hasCompositor() ? "composited" : "plain"));
    const QPoint inside = panel->geometry().center() - QPoint(panel->width() / 2 - 24 - 8, 0);
    const QColor seen = desktop.pixelColor(inside);
    EXPECT_GT(seen.green(), 200) << "the toast body is there, not the overlay: " << seen.name().toStdString();
    EXPECT_EQ(desktop.pixelColor(5, 5), QColor(255, 0, 255));
}

TEST_F(ToastWindowsX11, ADialogOfAStayOnTopWindowIsStackedAboveIt)
{
    Backdrop pin(QColor(166, 181, 141));
    windows->place(&pin, WindowLevel::pin, true);
    pin.setGeometry(300, 200, 500, 400);
    windows->show(&pin);
    ASSERT_TRUE(runUntil([&] { return exposed(&pin); }));

    QDialog dialog;
    dialog.resize(300, 200);
    windows->placeDialog(&dialog, &pin, WindowLevel::normal);
    windows->show(&dialog);
    ASSERT_TRUE(runUntil([&] { return exposed(&dialog); }));
    // The pin is raised again (a click on it, say): its dialog must stay above it.
    windows->raise(&pin);
    spin(300ms);

    const std::vector<quint64> stacking = clientStacking();
    auto at = [&](QWidget* w) { return std::find(stacking.begin(), stacking.end(), quint64(w->winId())) - stacking.begin(); };
    ASSERT_LT(std::size_t(at(&pin)), stacking.size()) << hex(&pin).toStdString();
    ASSERT_LT(std::size_t(at(&dialog)), stacking.size()) << hex(&dialog).toStdString();
    EXPECT_GT(at(&dialog), at(&pin)) << "the dialog is listed above the pin";
}

TEST_F(ToastWindowsX11, WithoutACompositorTheMarginIsNotBlack)
{
    Backdrop below(QColor(236, 240, 232));
    below.setGeometry(screen->geometry());
    below.show();
    ASSERT_TRUE(runUntil([&] { return exposed(&below); }));
    spin(100ms);
    QWidget* panel = showSuccess(QStringLiteral("已复制到剪贴板"));
    ASSERT_TRUE(panel);

    const QImage desktop = screen->grabWindow(0).toImage();
    saveTestImage(desktop.copy(panel->geometry().adjusted(-20, -20, 20, 20)),
                  QStringLiteral("toast-on-desktop-%1").arg(windows->hasCompositor() ? "composited" : "plain"));
    // Samples in the shadow margin, all round the body.
    const QRect frame = panel->geometry();
    const QPoint samples[] = {frame.topLeft() + QPoint(3, 3), frame.bottomRight() - QPoint(3, 3),
                              QPoint(frame.center().x(), frame.bottom() - 6), QPoint(frame.left() + 10, frame.center().y())};
    for (const QPoint& p : samples) {
        const QColor c = desktop.pixelColor(p);
        EXPECT_GT(qGray(c.rgb()), 150) << "margin at " << p.x() << "," << p.y() << " is " << c.name().toStdString();
    }
    // The body itself is drawn.
    const QColor body = desktop.pixelColor(frame.left() + 24 + 6, frame.center().y());
    EXPECT_GT(qGray(body.rgb()), 230) << body.name().toStdString();
}

TEST_F(ToastWindowsX11, CompositorThatComesAndGoesIsFollowed)
{
    const bool startedWithOne = X11Environment::server()->options().compositor;
    EXPECT_EQ(windows->hasCompositor(), startedWithOne);
    if (startedWithOne)
        GTEST_SKIP() << "the other registration starts and stops one of its own";
    int changes = 0;
    QObject::connect(windows.get(), &FloatingWindows::compositorChanged, [&] { ++changes; });
    QProcess compositor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), X11Environment::server()->display());
    compositor.setProcessEnvironment(env);
    compositor.start(QStringLiteral("xcompmgr"), {});
    ASSERT_TRUE(compositor.waitForStarted());
    EXPECT_TRUE(runUntil([&] { return windows->hasCompositor(); }));
    compositor.terminate();
    compositor.waitForFinished(3000);
    EXPECT_TRUE(runUntil([&] { return !windows->hasCompositor(); }));
    EXPECT_EQ(changes, 2);
}

namespace {

// What a window manager sends when the user closes a window: WM_DELETE_WINDOW.
void closeAsTheWindowManagerDoes(QWidget* window)
{
    xcb_connection_t* c = xcb_connect(X11Environment::server()->display().toLatin1().constData(), nullptr);
    const auto atom = [c](const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t out = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return out;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(window->winId());
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, event.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(c);
    xcb_disconnect(c);
}

void pointAt(const QPoint& p, bool click)
{
    QStringList arguments{QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())};
    if (click)
        arguments << QStringLiteral("click") << QStringLiteral("1");
    X11Environment::server()->run(QStringLiteral("xdotool"), arguments);
}

} // namespace

// The save failure as a user meets it over white content, with two more failures queued:
// both lines and the suffix on screen, an edge against the white (without a compositor the
// ring inside the mask), tool tips on hover, and "详情" that opens again after the window
// manager closed the details.
TEST_F(ToastWindowsX11, ATwoLineFailureWithTwoQueuedOnWhite)
{
    Backdrop below(Qt::white);
    below.setGeometry(screen->geometry());
    below.show();
    ASSERT_TRUE(runUntil([&] { return exposed(&below); }));
    spin(100ms);

    const Point anchor = toPoint(QPointF(screen->geometry().center()));
    std::vector<QUuid> ids;
    const QString messages[] = {QStringLiteral("保存失败：磁盘空间不足\n截图与保存设置已保留，可重试。"),
                                QStringLiteral("复制失败"), QStringLiteral("复制失败")};
    for (const QString& message : messages) {
        ids.push_back(QUuid::createUuid());
        ASSERT_TRUE(coordinator->begin(ids.back(), toast.owner, anchor, QStringLiteral("正在保存…"), [] {}));
        ASSERT_TRUE(coordinator->failure(ids.back(), message, QStringLiteral("/home/user/图片/截图.png：磁盘空间不足")));
    }
    OutputToastRenderer& head = *coordinator->record(ids.front())->renderer;
    QWidget* panel = head.panel();
    ASSERT_TRUE(runUntil([&] { return exposed(panel); }));
    spin(300ms);
    const QString plain = windows->hasCompositor() ? QStringLiteral("composited") : QStringLiteral("plain");

    QImage desktop = screen->grabWindow(0).toImage();
    const QRect frame = panel->geometry();
    saveTestImage(desktop.copy(frame.adjusted(-20, -20, 20, 20)), QStringLiteral("toast-two-lines-queued-%1").arg(plain));
    EXPECT_TRUE(head.label()->text().endsWith(QStringLiteral("（另有2项待处理，关闭后查看）")));
    // The body's top edge, its centre column: the pixel row above the body is the edge.
    const int column = frame.center().x();
    const int bodyTop = frame.top() + 24;
    EXPECT_LT(qGray(desktop.pixel(column, bodyTop - 1)), 245) << "an edge against the white";
    EXPECT_GT(qGray(desktop.pixel(column, bodyTop - 4)), 200) << "the margin is not black";
    // Ink on both lines of the label.
    const QRect label = head.label()->geometry().translated(frame.topLeft());
    EXPECT_TRUE(bothLinesInked(desktop, label));

    // The close button's tool tip, on a panel that never becomes active.
    const QPoint close = head.closeButton()->mapToGlobal(head.closeButton()->rect().center());
    pointAt(close + QPoint(1, 0), false);
    pointAt(close, false);
    ASSERT_TRUE(runUntil([] { return QToolTip::isVisible(); }, 5s));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("关闭提示"));
    spin(200ms);
    desktop = screen->grabWindow(0).toImage();
    saveTestImage(desktop.copy(frame.adjusted(-20, -20, 160, 60)), QStringLiteral("toast-tooltip-%1").arg(plain));
    QToolTip::hideText();

    // "详情", closed by the window manager, then "详情" again.
    const QPoint details = head.button()->mapToGlobal(head.button()->rect().center());
    pointAt(details, true);
    QPointer<QWidget> window;
    ASSERT_TRUE(runUntil([&] {
        window = head.detailsWindow();
        return window && exposed(window);
    }));
    // A message sent while the window manager still settles the new window can be dropped.
    bool hidden = false;
    for (int attempt = 0; attempt < 5 && !hidden; ++attempt) {
        closeAsTheWindowManagerDoes(window);
        hidden = runUntil([&] { return !window->isVisible(); }, 1s);
    }
    ASSERT_TRUE(hidden);
    pointAt(details, true);
    EXPECT_TRUE(runUntil([&] { return window && exposed(window); })) << "shown again";
}
