#pragma once

#include "platform/FloatingWindows.h"
#include "platform/WindowStackOrder.h"

#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <utility>
#include <vector>

namespace vorlith::test {

// Floating windows without a window system's rules: windows are shown as Qt shows them on the
// offscreen platform; levels, focus and click-through are recorded; the compositor is scripted.
class FakeFloatingWindows final : public FloatingWindows {
    Q_OBJECT
public:
    struct Placed {
        QPointer<QWidget> window;
        WindowLevel level = WindowLevel::normal;
        bool takesFocus = true;
        bool clickThrough = false;
        QPointer<QWidget> parent; // for dialogs
    };

    void place(QWidget* window, WindowLevel level, bool takesFocus) override;
    void placeDialog(QWidget* dialog, QWidget* parent, WindowLevel level) override;
    void show(QWidget* window) override;
    void raise(QWidget* window) override;
    void setClickThrough(QWidget* window, bool clickThrough) override;
    void activate(QWidget* window) override;
    void setPixelGeometry(QWidget* window, const QRect& pixels) override;
    void holdKeyboard(QWidget* window) override;
    void releaseKeyboard(QWidget* window) override;
    // The latest visible holder, as the X11 service grabs for it (unless `grabRefused`).
    QWidget* keyboardGrabWindow() const override;
    void attachSatellite(QWidget* window, QWidget* owner) override;
    void restackSatellites(QWidget* owner) override;
    // Our visible windows front first: the stacking below, reversed.
    std::vector<QWidget*> frontToBack() const override;
    void flush() override { ++flushCount; }
    void keepOnAllDesktops(QWidget* window) override { onAllDesktops.emplace_back(window); }
    void setRole(QWidget* window, const QString& role) override { roles.emplace_back(window, role); }
    int flushCount = 0;
    int satelliteRestacks = 0;
    std::vector<QPointer<QWidget>> onAllDesktops;
    std::vector<std::pair<QPointer<QWidget>, QString>> roles;
    // The owner of a satellite; none for other windows.
    QWidget* satelliteOwner(const QWidget* window) const;
    bool hasCompositor() const override { return m_compositor; }
    bool reducesMotion() const override { return reduceMotion; }
    bool reduceMotion = false;

    // Starts or stops the scripted compositor, reporting the change as X11 does.
    void setCompositor(bool running);

    const Placed* placed(const QWidget* window) const;
    // Our windows bottom first, as the last restack left them: each owner's satellites
    // directly above it, in the order they were attached.
    std::vector<QWidget*> stacking() const;
    int showCount = 0;
    int raiseCount = 0;
    // Every window activated, in order, and every pixel geometry set.
    std::vector<QPointer<QWidget>> activations;
    std::vector<std::pair<QPointer<QWidget>, QRect>> pixelGeometries;
    // Another client holds the keyboard (a hot key still down): no grab succeeds.
    bool grabRefused = false;
    const std::vector<QPointer<QWidget>>& keyboardHolders() const { return m_holders; }

private:
    Placed* find(const QWidget* window);

    std::vector<Placed> m_placed;
    WindowStackOrder m_order;
    bool m_compositor = true;
    std::vector<QPointer<QWidget>> m_holders;
    struct Satellites {
        QPointer<QWidget> owner;
        std::vector<QPointer<QWidget>> windows;
    };
    std::vector<Satellites> m_satellites;
};

} // namespace vorlith::test
