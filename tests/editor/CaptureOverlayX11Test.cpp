// The capture overlays on a real X server: two monitors side by side, at scale 1 and 1.5, and
// under a window manager. A real capture freezes the screens and each display gets its editor
// (OverlayView), as the capture road makes them; a recorder notes the keys that reach it.
#include "app/capture/CaptureService.h"
#include "app/base/InterfaceColors.h"
#include "app/editor/CaptureOverlaySet.h"
#include "app/editor/OverlayView.h"
#include "app/output/FileDialogSavePanel.h"
#include "app/output/OutputService.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/x11/X11CapturePlatform.h"
#include "platform/x11/X11FloatingWindows.h"
#include "platform/x11/XcbConnection.h"
#include "support/TestSupport.h"
#include "support/X11Environment.h"
#include "../platform/X11CaptureHelpers.h"

#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <optional>

using namespace vorlith;
using namespace vorlith::test;

namespace {

constexpr QRgb foregroundColour = 0xffe08020;

// Counts what keys reach a display's editor, before the editor itself sees them.
class KeyRecorder final : public QObject {
public:
    QString typed;
    int escapes = 0;
    int shortcuts = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape)
                ++escapes;
            else if (!(key->modifiers() & Qt::AltModifier) && key->key() != Qt::Key_Tab)
                typed += key->text();
            else
                ++shortcuts; // Alt+Tab comes here too while the keyboard is held
        }
        return QObject::eventFilter(watched, event);
    }
};

// The editor's dimming over a frozen colour.
QRgb dimmed(QRgb colour)
{
    const QColor mask = InterfaceColors::captureMask();
    const double a = mask.alphaF();
    const auto mix = [a](int under, int over) { return int(std::lround(under * (1 - a) + over * a)); };
    return qRgb(mix(qRed(colour), mask.red()), mix(qGreen(colour), mask.green()), mix(qBlue(colour), mask.blue()));
}

bool near(QRgb a, QRgb b, int tolerance = 3)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

int xdotool(const QStringList& arguments)
{
    return X11Environment::server()->run(QStringLiteral("xdotool"), arguments);
}

// xwininfo's view of a window: its absolute rectangle on the root.
QRect serverGeometry(WId window)
{
    QByteArray out;
    X11Environment::server()->run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)}, &out);
    const auto field = [&](const char* name) {
        const QRegularExpression re(QStringLiteral("%1:\\s+(-?\\d+)").arg(QLatin1String(name)));
        return re.match(QString::fromLocal8Bit(out)).captured(1).toInt();
    };
    return QRect(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"));
}

// Where a window stands among the root's children, bottom first; -1 when it is not one.
int stackIndex(WId window)
{
    std::unique_ptr<XcbConnection> xcb = XcbConnection::open();
    XcbReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(xcb->get(), xcb_query_tree(xcb->get(), xcb->root()), nullptr));
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
        if (children[i] == xcb_window_t(window))
            return i;
    return -1;
}

QImage rootImage()
{
    QImage all(options().width * options().monitors, options().height, QImage::Format_RGB32);
    QPainter painter(&all);
    for (QScreen* screen : QGuiApplication::screens()) {
        QImage shot = screen->grabWindow(0).toImage();
        shot.setDevicePixelRatio(1);
        painter.drawImage(screen->geometry().topLeft(), shot); // Qt keeps each native corner
    }
    return all;
}

// A capture with its overlays: frozen screens, one editor per display, the windows shown.
struct Stage {
    std::shared_ptr<X11FloatingWindows> floating = std::make_shared<X11FloatingWindows>();
    CaptureService service{std::make_shared<X11CapturePlatform>()};
    CaptureOverlaySet set{floating};
    std::shared_ptr<OutputService> output = std::make_shared<OutputService>(std::make_shared<X11Pasteboard>());
    std::vector<FrozenDisplay> frames;
    std::map<CaptureOverlayWindow*, std::unique_ptr<KeyRecorder>> keys;

    // `front`: the process whose window each editor preselects (none: the whole display).
    std::vector<CaptureOverlayWindow*> open(std::optional<qint32> front = std::nullopt)
    {
        frames = captureAll(service);
        std::vector<OverlayDisplay> displays;
        for (const FrozenDisplay& frame : frames)
            displays.push_back(OverlayDisplay::of(frame));
        const std::vector<CaptureOverlayWindow*>& windows = set.prepare(displays);
        keys.clear();
        for (std::size_t i = 0; i < windows.size(); ++i) {
            auto* view = new OverlayView(frames[i], front, SaveDraft{}, output);
            auto recorder = std::make_unique<KeyRecorder>();
            view->installEventFilter(recorder.get());
            keys[windows[i]] = std::move(recorder);
            windows[i]->setContent(view);
        }
        set.present(std::nullopt);
        for (CaptureOverlayWindow* window : windows)
            EXPECT_TRUE(runUntil([&] { return window->windowHandle()->isExposed(); }, 10s));
        return windows;
    }

    void close()
    {
        for (QWidget* content : set.finish())
            content->deleteLater();
    }

    CaptureOverlayWindow* key() const
    {
        for (CaptureOverlayWindow* window : set.windows())
            if (window->isKey())
                return window;
        return nullptr;
    }
    KeyRecorder* contentOf(CaptureOverlayWindow* window) const
    {
        const auto found = keys.find(window);
        return found == keys.end() ? nullptr : found->second.get();
    }
    OverlayView* viewOf(const FrozenDisplay& frame) const
    {
        for (CaptureOverlayWindow* window : set.windows())
            if (window->displayID() == frame.id)
                return qobject_cast<OverlayView*>(window->content());
        return nullptr;
    }
};

} // namespace

// Each overlay stands on exactly its monitor's pixels, also where 1366 pixels are 910.67
// points: no seam and no overlap between the two.
TEST(CaptureOverlayX11, EachOverlayCoversItsMonitorExactly)
{
    Stage stage;
    const std::vector<CaptureOverlayWindow*> windows = stage.open();
    ASSERT_EQ(int(windows.size()), options().monitors);
    for (int i = 0; i < options().monitors; ++i) {
        EXPECT_TRUE(runUntil([&] { return serverGeometry(windows[i]->winId()) == nativeMonitor(i); }))
            << "monitor " << i << ": " << serverGeometry(windows[i]->winId()).width() << " wide at "
            << serverGeometry(windows[i]->winId()).x();
    }
    stage.close();
}

// What the screen shows is the frozen picture, dimmed, on every monitor, even after the live
// screen beneath has changed; another program's window raised (or activated) afterwards, and
// one of ours that stays on top and is mapped afterwards, end up beneath the overlays.
TEST(CaptureOverlayX11, TheScreenShowsTheDimmedFrozenImageAboveEveryOtherWindow)
{
    // A light desktop, so that the dimming shows everywhere in the saved picture.
    X11Environment::server()->run(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), QStringLiteral("#b8c8d8")});
    std::vector<std::unique_ptr<ForeignWindow>> before;
    for (int i = 0; i < options().monitors; ++i) {
        before.push_back(std::make_unique<ForeignWindow>(QRect(nativeMonitor(i).topLeft() + QPoint(100, 100), QSize(300, 200)),
                                                         foregroundColour));
        ASSERT_TRUE(before.back()->ready());
    }
    ForeignWindow raisedLater(QRect(nativeMonitor(0).topLeft() + QPoint(500, 100), QSize(200, 150)), 0xff2060ff);
    ASSERT_TRUE(raisedLater.ready());
    ASSERT_TRUE(runUntil([] { return rootPixel(nativeMonitor(0).topLeft() + QPoint(250, 200)) == foregroundColour; }, 10s));

    // The program in front: its window on the first monitor is preselected there (clear, with
    // the selection frame); the second monitor, where it has none, preselects the whole display.
    ForeignWindow front(QRect(nativeMonitor(0).topLeft() + QPoint(700, 420), QSize(160, 100)), 0xff30a060);
    ASSERT_TRUE(front.ready());

    Stage stage;
    stage.open(front.pid());
    // What the overlay shows at a native point: the frozen pixel, dimmed outside the
    // display's preselection.
    const auto frozenShown = [&](const QPoint& native) {
        for (const FrozenDisplay& frame : stage.frames) {
            const QRect pixels = OverlayDisplay::of(frame).pixels;
            if (!pixels.contains(native))
                continue;
            const QRgb frozen = frame.image.pixels().pixel(native - pixels.topLeft());
            const OverlayView* view = stage.viewOf(frame);
            const std::optional<Rect> selection = view ? view->countingSelection() : std::nullopt;
            const QPointF local = QPointF(native - pixels.topLeft()) / frame.backingScale;
            return selection && toQRectF(*selection).contains(local) ? frozen : dimmed(frozen);
        }
        return QRgb(0);
    };
    ASSERT_NE(stage.viewOf(stage.frames.front()), nullptr);
    EXPECT_NE(stage.viewOf(stage.frames.front())->countingSelection(),
              std::optional<Rect>(stage.viewOf(stage.frames.front())->bounds()))
        << "the front program's window is preselected on the first monitor";
    before.clear(); // the live screen changes under the overlays
    const QString verb = options().windowManager ? QStringLiteral("windowactivate") : QStringLiteral("windowraise");
    xdotool({verb, QString::number(raisedLater.id())});
    ColourWindow onTop(Qt::green, Qt::WindowStaysOnTopHint);
    onTop.setGeometry(QRect(screenAt(0)->geometry().topLeft() + QPoint(100, 400), QSize(200, 100)));
    onTop.show();
    const auto viewable = [](WId window) {
        QByteArray out;
        X11Environment::server()->run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)}, &out);
        return out.contains("IsViewable");
    };
    ASSERT_TRUE(runUntil([&] { return viewable(onTop.winId()); }, 10s));
    spin(300ms); // time for either window to paint itself, were it above the overlays

    std::vector<QPoint> probes;
    for (int i = 0; i < options().monitors; ++i)
        probes.push_back(nativeMonitor(i).topLeft() + QPoint(250, 200)); // the frozen window
    probes.push_back(raisedLater.nativeRect().center());
    probes.push_back(nativeGeometry(onTop).center());
    probes.push_back(front.nativeRect().center());
    for (const QPoint& probe : probes)
        EXPECT_TRUE(runUntil([&] { return near(rootPixel(probe), frozenShown(probe)); }, 5s))
            << "at " << probe.x() << "," << probe.y() << " the screen shows " << std::hex << rootPixel(probe)
            << " instead of " << frozenShown(probe);
    EXPECT_TRUE(near(frozenShown(probes.front()), dimmed(foregroundColour)));
    EXPECT_TRUE(near(frozenShown(front.nativeRect().center()), 0xff30a060)) << "the preselection is clear";
    EXPECT_TRUE(near(rootPixel(nativeMonitor(0).bottomRight() - QPoint(5, 5)), dimmed(0xffb8c8d8)));
    if (options().monitors > 1) {
        EXPECT_TRUE(near(rootPixel(nativeMonitor(1).topLeft() + QPoint(250, 200)), foregroundColour))
            << "the whole second display is preselected: its frozen window shows clear";
    }
    saveTestImage(rootImage(), QStringLiteral("capture-overlay-%1").arg(configName()));
    stage.close();
    X11Environment::server()->run(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), QStringLiteral("black")});
}

// Esc and typed text reach the key overlay's content, also after Alt+Tab (which a window
// manager would use to move the focus to a window beneath the overlays).
TEST(CaptureOverlayX11, EscAndTextReachTheKeyOverlayAfterAltTab)
{
    ColourWindow beneath(Qt::darkGray);
    beneath.setGeometry(QRect(screenAt(0)->geometry().topLeft() + QPoint(60, 60), QSize(300, 200)));
    beneath.show();
    ASSERT_TRUE(runUntil([&] { return beneath.windowHandle()->isExposed(); }, 10s));

    Stage stage;
    stage.open();
    ASSERT_TRUE(runUntil([&] { return stage.key() != nullptr; }));
    CaptureOverlayWindow* key = stage.key();
    EXPECT_TRUE(runUntil([&] { return stage.floating->keyboardGrabWindow() == key; }));

    xdotool({QStringLiteral("key"), QStringLiteral("alt+Tab")});
    spin(150ms);
    xdotool({QStringLiteral("type"), QStringLiteral("ab")});
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    KeyRecorder* content = stage.contentOf(key);
    EXPECT_TRUE(runUntil([&] { return content->escapes == 1 && content->typed == "ab"; }))
        << "typed \"" << content->typed.toStdString() << "\", escapes " << content->escapes;
    stage.close();
    EXPECT_EQ(stage.floating->keyboardGrabWindow(), nullptr) << "the grab ends with the overlays";
}

// The hot key that started the capture holds the keyboard until its key is up: the overlays'
// grab waits for it, then takes over.
TEST(CaptureOverlayX11, TheGrabIsRetriedWhileAnotherClientHoldsTheKeyboard)
{
    std::unique_ptr<XcbConnection> hotKey = XcbConnection::open();
    ASSERT_TRUE(hotKey);
    XcbReply<xcb_grab_keyboard_reply_t> held(xcb_grab_keyboard_reply(
        hotKey->get(),
        xcb_grab_keyboard(hotKey->get(), 1, hotKey->root(), XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr));
    ASSERT_TRUE(held && held->status == XCB_GRAB_STATUS_SUCCESS);

    Stage stage;
    stage.open();
    spin(150ms);
    EXPECT_EQ(stage.floating->keyboardGrabWindow(), nullptr);

    xcb_ungrab_keyboard(hotKey->get(), XCB_CURRENT_TIME);
    XcbConnection::sync(hotKey->get());
    ASSERT_TRUE(runUntil([&] { return stage.floating->keyboardGrabWindow() != nullptr; }));
    CaptureOverlayWindow* holder = static_cast<CaptureOverlayWindow*>(stage.floating->keyboardGrabWindow());
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    EXPECT_TRUE(runUntil([&] { return stage.contentOf(holder)->escapes == 1; }));
    stage.close();
}

// An overlay that does not accept capture input cannot take the keyboard; the one that does
// can. The windows are the same for the next capture on unchanged monitors.
TEST(CaptureOverlayX11, RefusedFocusAndReuseForTheNextCapture)
{
    Stage stage;
    std::vector<CaptureOverlayWindow*> windows = stage.open();
    ASSERT_FALSE(windows.empty());
    ASSERT_TRUE(runUntil([&] { return stage.key() != nullptr; }));
    const WId firstId = windows.front()->winId();
    if (windows.size() > 1) {
        CaptureOverlayWindow* key = stage.key();
        CaptureOverlayWindow* other = key == windows.front() ? windows.back() : windows.front();
        other->setAcceptsCaptureInput(false);
        EXPECT_FALSE(other->makeKey());
        spin(150ms);
        EXPECT_FALSE(other->isKey());
        EXPECT_TRUE(key->isKey());
        EXPECT_EQ(stage.floating->keyboardGrabWindow(), key);
        const QPoint inOther = other->pixelFrame().center();
        xdotool({QStringLiteral("mousemove"), QString::number(inOther.x()), QString::number(inOther.y()),
                 QStringLiteral("click"), QStringLiteral("1")});
        spin(150ms);
        EXPECT_TRUE(key->isKey()) << "a click does not make a refusing overlay key";
        other->setAcceptsCaptureInput(true);
        xdotool({QStringLiteral("click"), QStringLiteral("1")});
        EXPECT_TRUE(runUntil([&] { return other->isKey(); })) << "a click makes an accepting overlay key";
        EXPECT_EQ(stage.floating->keyboardGrabWindow(), other) << "the grab follows the key overlay";
    }
    stage.close();
    for (CaptureOverlayWindow* window : windows) {
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(window->content(), nullptr);
    }

    const int made = stage.set.windowsMade();
    windows = stage.open();
    EXPECT_EQ(stage.set.windowsMade(), made) << "unchanged monitors reuse their windows";
    EXPECT_EQ(windows.front()->winId(), firstId) << "and their native windows";
    EXPECT_TRUE(windows.back()->acceptsCaptureInput());
    EXPECT_TRUE(runUntil([&] { return stage.key() != nullptr; }));
    stage.close();
}

// A save panel opened over the overlays takes the keyboard grab while it is open (Alt+Tab
// cannot move the focus from it) and the key overlay has it back when the panel closes: with
// the overlays' own window service, and with a panel that made a service of its own.
TEST(CaptureOverlayX11, TheSavePanelBorrowsTheKeyboardAndGivesItBack)
{
    ForeignWindow other(QRect(nativeMonitor(0).topLeft() + QPoint(40, 40), QSize(200, 150)), 0xff2060ff);
    ASSERT_TRUE(other.ready());
    Stage stage;
    stage.open();
    ASSERT_TRUE(runUntil([&] { return stage.key() != nullptr; }));
    CaptureOverlayWindow* key = stage.key();
    KeyRecorder* content = stage.contentOf(key);
    for (const bool shared : {true, false}) {
        SCOPED_TRACE(shared ? "shared window service" : "the panel's own service");
        FileDialogSavePanel panel(nullptr, shared ? stage.floating : nullptr);
        bool finished = false;
        panel.onFinished = [&](bool) { finished = true; };
        SavePanel::Configuration configuration;
        configuration.title = QStringLiteral("保存截图");
        configuration.prompt = QStringLiteral("保存");
        configuration.nameFieldLabel = QStringLiteral("存储为：");
        configuration.directory = QDir::tempPath();
        configuration.name = QStringLiteral("shot.png");
        configuration.aboveOverlays = true;
        panel.open(configuration);
        QLineEdit* name = panel.nameField();
        ASSERT_TRUE(runUntil([&] { return panel.dialog()->isVisible() && name->hasFocus(); }, 10s));
        if (shared) {
            EXPECT_TRUE(runUntil([&] { return stage.floating->keyboardGrabWindow() == panel.dialog(); }));
            // Another program's window raised now goes beneath the overlays, and the panel stays
            // above them.
            xdotool({options().windowManager ? QStringLiteral("windowactivate") : QStringLiteral("windowraise"),
                     QString::number(other.id())});
            spin(200ms);
            const auto highestOverlay = [&] {
                int highest = -1;
                for (CaptureOverlayWindow* window : stage.set.windows())
                    highest = std::max(highest, stackIndex(window->winId()));
                return highest;
            };
            EXPECT_TRUE(runUntil([&] {
                return stackIndex(panel.dialog()->winId()) > highestOverlay() && highestOverlay() > stackIndex(other.id());
            })) << "panel " << stackIndex(panel.dialog()->winId()) << ", overlays up to " << highestOverlay()
                << ", other " << stackIndex(other.id());
            name->setFocus(); // the raise may have moved the focus inside the panel
        }

        xdotool({QStringLiteral("key"), QStringLiteral("alt+Tab")});
        spin(150ms);
        xdotool({QStringLiteral("key"), QStringLiteral("End")});
        xdotool({QStringLiteral("type"), QStringLiteral("kept")});
        EXPECT_TRUE(runUntil([&] { return name->text().endsWith(QStringLiteral("kept")); }))
            << "name field: " << name->text().toStdString();
        xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
        ASSERT_TRUE(runUntil([&] { return finished; }));
        EXPECT_EQ(content->escapes, 0) << "the panel's Esc is the panel's";

        EXPECT_TRUE(runUntil([&] { return stage.floating->keyboardGrabWindow() == key; }));
        xdotool({QStringLiteral("key"), QStringLiteral("alt+Tab")});
        spin(150ms);
        xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
        EXPECT_TRUE(runUntil([&] { return content->escapes == 1; }));
        content->escapes = 0;
    }
    stage.close();
}
