#pragma once

#include "platform/FloatingWindows.h"
#include "platform/WindowStackOrder.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class QSocketNotifier;

namespace vorlith {

class XcbConnection;
class X11MapExposeFilter;

// Floating windows on X11. Levels at and above the capture overlays are override-redirect
// (no window manager stacks a managed window above an override-redirect one), lower ones ask
// the window manager for _NET_WM_STATE_ABOVE through Qt's stay-on-top hint. Restacking raises
// our windows bottom first, so each ends directly above the one before it.
//
// The compositor is the owner of the `_NET_WM_CM_S<screen>` selection; XFixes reports every
// change of owner on a private connection, so a compositor that comes and goes is followed.
// The same connection watches the root's children: while a placed window of ours bypasses the
// window manager, another program's window that is mapped or restacked makes us raise ours
// again, in their own order (nothing else would keep an always-on-top window or a
// notification below the overlays, and a save panel above them).
//
// The keyboard grab is made on Qt's own connection (key events must reach Qt), with every key
// reported to the grabbing window; Qt hands them to its focus window as usual, so a dialog of
// ours that holds the focus still gets its keys. Qt's popups grab and ungrab the keyboard for
// themselves: when one closes, the grab is made again.
//
// Qt waits for the server after each activation. A window that was asked for the keyboard is
// not asked again for a moment (activationGrace), unless the focus has moved or the window was
// hidden meanwhile, so a second request (the pointer entering the window before the focus
// arrived) does not wait behind the server's work on the frames being shown. The exposures of mapping a window that bypasses
// the window manager are left out (X11MapExposeFilter): Qt exposes the whole window itself.
class X11FloatingWindows final : public FloatingWindows {
    Q_OBJECT
public:
    explicit X11FloatingWindows(QObject* parent = nullptr);
    ~X11FloatingWindows() override;

    void place(QWidget* window, WindowLevel level, bool takesFocus) override;
    void placeDialog(QWidget* dialog, QWidget* parent, WindowLevel level) override;
    void show(QWidget* window) override;
    void raise(QWidget* window) override;
    void setClickThrough(QWidget* window, bool clickThrough) override;
    void activate(QWidget* window) override;
    void setPixelGeometry(QWidget* window, const QRect& pixels) override;
    void holdKeyboard(QWidget* window) override;
    void releaseKeyboard(QWidget* window) override;
    QWidget* keyboardGrabWindow() const override { return m_grabbed; }
    void attachSatellite(QWidget* window, QWidget* owner) override;
    void restackSatellites(QWidget* owner) override;
    std::vector<QWidget*> frontToBack() const override;
    void flush() override;
    void keepOnAllDesktops(QWidget* window) override;
    void setRole(QWidget* window, const QString& role) override;
    bool hasCompositor() const override { return m_compositor; }
    bool reducesMotion() const override { return false; }

    // How often a grab that another client holds is tried again.
    static constexpr std::chrono::milliseconds grabRetryInterval{30};
    // How long a window asked for the keyboard is not asked again while its focus is on the way.
    static constexpr std::chrono::milliseconds activationGrace{250};

    // Reads the selection owner again (also done on every XFixes event).
    void refreshCompositor();

private:
    std::optional<WindowLevel> levelOf(QWidget* window) const;
    void watchCompositor();
    void drainEvents();
    void restack(QWidget* subject);
    void keepAbove();
    void raiseAboveOthers();
    bool ownsWindow(uint32_t window) const;
    void settleKeyboard();
    bool grabKeyboardFor(QWidget* window);
    void ungrabKeyboard();
    void forgetActivation();
    bool bypassesWindowManager(uint32_t window) const;
    // The owner's child of the root: its window manager's frame, or itself without one.
    uint32_t topLevelOf(uint32_t window) const;
    void followOwners();
    QWidget* satelliteOwner(const QWidget* window) const;
    bool isSatellite(uint32_t window) const;
    void restackGroups();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:

    WindowStackOrder m_order;
    std::unique_ptr<XcbConnection> m_xcb;
    std::unique_ptr<QSocketNotifier> m_notifier;
    unsigned int m_selection = 0; // the _NET_WM_CM_S<screen> atom
    int m_xfixesEventBase = -1;
    bool m_compositor = false;
    // Latest last; the grab follows the latest visible one.
    std::vector<QPointer<QWidget>> m_holders;
    QPointer<QWidget> m_grabbed;
    QTimer m_grabRetry;
    bool m_keepAboveQueued = false;
    // Asked for the keyboard; cleared when the focus window changes or it is hidden.
    QPointer<QWidget> m_activating;
    QElapsedTimer m_activationAge;
    std::unique_ptr<X11MapExposeFilter> m_exposeFilter;
    struct Satellites {
        QPointer<QWidget> owner;
        std::vector<QPointer<QWidget>> windows; // bottom first
    };
    std::vector<Satellites> m_satellites;
    bool m_followQueued = false;
    // What each child of the root was last stacked above, to tell a restack from a move.
    std::unordered_map<uint32_t, uint32_t> m_aboveSibling;
};

} // namespace vorlith
