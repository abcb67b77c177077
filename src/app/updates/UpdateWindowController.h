#pragma once

#include "app/updates/UpdateWindowStep.h"

#include "core/Geometry.h"

#include <functional>
#include <memory>

class QAbstractButton;
class QLabel;
class QProgressBar;
class QWidget;

namespace vorlith {

// The one small window where an update check or installation shows where it stands: heading,
// wrapped detail, progress bar and two footer buttons. It has no content of its own: each
// step fills it anew and sets the two actions its buttons and its closing run, and whichever
// runs first clears both. Closing only hides it; the controller lives as long as the process.
class UpdateWindowController {
public:
    static constexpr int width = 420;
    static constexpr int height = 270;
    static constexpr const char* title = "检查更新";

    UpdateWindowController();
    ~UpdateWindowController();
    UpdateWindowController(const UpdateWindowController&) = delete;
    UpdateWindowController& operator=(const UpdateWindowController&) = delete;

    QWidget* window() const;
    QLabel* heading() const { return m_heading; }
    QLabel* detail() const { return m_detail; }
    QProgressBar* progress() const { return m_progress; }
    QAbstractButton* primary() const { return m_primary; }
    QAbstractButton* secondary() const { return m_secondary; }

    std::function<void()> primaryAction;
    std::function<void()> closeAction;

    // Fills every field of the step in order, lays out the buttons, then shows the window.
    void apply(UpdateWindowStep step);
    void setProgress(const UpdateProgress& progress);
    // Sizes and places the buttons from their titles and the primary's visibility.
    void layoutActions();
    // Takes both actions out, then runs the primary one if there was one; the window stays.
    void performPrimary();
    // Closes the window: the same path as Escape and the title bar's close button.
    void performClose();
    // Shows the window unless it is visible already (then it is neither raised nor activated).
    void showWindow();
    // Makes the window key and brings it to the front.
    void bringToFront();
    // Hides the window without running any action: both are cleared first.
    void dismiss();

    // The button frames of layoutActions, measured from the window's bottom-left corner.
    struct ButtonFrames {
        Rect primary;
        Rect secondary;
    };
    [[nodiscard]] static ButtonFrames buttonFrames(double primaryTitleWidth, double secondaryTitleWidth,
                                                   bool primaryShown);

private:
    class Window;
    void windowWillClose();
    void runTakingBoth(std::function<void()> UpdateWindowController::*which);

    std::unique_ptr<Window> m_window;
    QLabel* m_heading = nullptr;
    QLabel* m_detail = nullptr;
    QProgressBar* m_progress = nullptr;
    QAbstractButton* m_primary = nullptr;
    QAbstractButton* m_secondary = nullptr;
};

} // namespace vorlith
