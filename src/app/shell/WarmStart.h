#pragma once

#include "core/TaskHandle.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace vorlith {

class CaptureOverlaySet;
class CapturePlatform;
struct OverlayDisplay;

// Makes the first capture as quick as a later one: while the program idles after launch, one
// small step per turn of the event loop, it makes the overlay windows of the current displays
// with their backing stores touched, grabs each display once and drops the images (the
// grabber keeps their memory for the next capture), loads the interface and mark fonts, makes
// and drops one editor offscreen, and starts the render and encoder threads. Run again after a
// display change, and after a capture was kept (its frozen image keeps one grab's memory, so a
// fresh one is prepared for the next capture). Nothing runs once warm.
class WarmStart final : public QObject {
    Q_OBJECT
public:
    // `mayRun` false (a capture is open or starting) postpones the next step.
    WarmStart(CaptureOverlaySet& overlays, std::shared_ptr<CapturePlatform> platform, std::function<bool()> mayRun,
              QObject* parent = nullptr);
    ~WarmStart() override;

    // Schedules every step from the first; a run in progress starts over.
    void start();
    bool isWarm() const { return m_warm; }
    bool isRunning() const { return m_turn.isActive() || m_grab.isRunning(); }
    // The displays as the overlays will be asked for them by a capture.
    [[nodiscard]] std::vector<OverlayDisplay> displays() const;

    // How long to wait before asking `mayRun` again.
    static constexpr int retryMilliseconds = 250;

private:
    void scheduleNext(int delay = 0);
    void runStep();
    void prepareWindows();
    void grabDisplays();
    static void loadFonts();
    static void makeEditor();
    static void startPools();

    CaptureOverlaySet& m_overlays;
    std::shared_ptr<CapturePlatform> m_platform;
    std::function<bool()> m_mayRun;
    std::vector<std::function<void()>> m_steps;
    std::size_t m_next = 0;
    bool m_warm = false;
    QTimer m_turn;
    TaskHandle m_grab;
};

} // namespace vorlith
