#pragma once

#include "platform/FloatingWindows.h"
#include "platform/WindowStackOrder.h"

#include <memory>
#include <optional>

class QSocketNotifier;

namespace vorlith {

class XcbConnection;

// Floating windows on X11. Levels at and above the capture overlays are override-redirect
// (no window manager stacks a managed window above an override-redirect one), lower ones ask
// the window manager for _NET_WM_STATE_ABOVE through Qt's stay-on-top hint. Restacking raises
// our windows bottom first, so each ends directly above the one before it.
//
// The compositor is the owner of the `_NET_WM_CM_S<screen>` selection; XFixes reports every
// change of owner on a private connection, so a compositor that comes and goes is followed.
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
    bool hasCompositor() const override { return m_compositor; }
    bool reducesMotion() const override { return false; }

    // Reads the selection owner again (also done on every XFixes event).
    void refreshCompositor();

private:
    std::optional<WindowLevel> levelOf(QWidget* window) const;
    void watchCompositor();
    void drainEvents();
    void restack(QWidget* subject);

    WindowStackOrder m_order;
    std::unique_ptr<XcbConnection> m_xcb;
    std::unique_ptr<QSocketNotifier> m_notifier;
    unsigned int m_selection = 0; // the _NET_WM_CM_S<screen> atom
    int m_xfixesEventBase = -1;
    bool m_compositor = false;
};

} // namespace vorlith
