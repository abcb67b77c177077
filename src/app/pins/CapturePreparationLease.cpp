#include "app/pins/CapturePreparationLease.h"

#include "app/editor/EditorHostView.h"
#include "app/pins/PinWindowController.h"
#include "app/pins/PinWorkspace.h"
#include "platform/FloatingWindows.h"

#include <QApplication>

#include <algorithm>
#include <set>

namespace vorlith {

namespace {

// The pins whose image window is visible, in the window system's order, front first.
std::vector<QPointer<PinWindowController>> frontToBack(const std::vector<PinWindowController*>& pins,
                                                      FloatingWindows& kit)
{
    std::vector<QPointer<PinWindowController>> ordered;
    for (QWidget* window : kit.frontToBack())
        for (PinWindowController* pin : pins)
            if (pin->contentWindow() == window && window->isVisible())
                ordered.emplace_back(pin);
    return ordered;
}

std::vector<PinWindowController*> pinsOf(const PinWorkspace& workspace)
{
    std::vector<PinWindowController*> pins;
    for (const PinWorkspace::Entry& entry : workspace.windows())
        pins.push_back(entry.controller);
    return pins;
}

} // namespace

CapturePreparationLease::CapturePreparationLease(PinWorkspace& workspace)
    : m_workspace(&workspace), m_kit(workspace.environment().windows),
      m_previousKeyWindow(QApplication::activeWindow())
{
    const std::vector<PinWindowController*> pins = pinsOf(workspace);
    for (PinWindowController* pin : pins)
        m_controllers.emplace_back(pin);
    FloatingWindows& kit = *m_kit;
    m_visibleFrontToBack = frontToBack(pins, kit);
    for (PinWindowController* pin : pins) {
        if (pin->isDisposed())
            continue;
        pin->captureSuspended = true;
        if (EditorHostView* host = pin->host())
            host->setEditingEnabled(false);
        kit.setClickThrough(pin->contentWindow(), true);
        std::vector<QWidget*> panels{pin->borderWindow(), pin->controlsWindow(), pin->scaleWindow(),
                                     pin->chromeWindow()};
        for (int i = 0; i < 8; ++i)
            panels.push_back(pin->resizeWindow(i));
        for (QWidget* panel : panels) {
            if (panel->isVisible())
                m_hidVisibleWindow = true;
            panel->hide();
        }
        if (EditorHostView* host = pin->host())
            host->update();
    }
    kit.flush();
}

void CapturePreparationLease::restore()
{
    if (std::exchange(m_restored, true))
        return;
    for (const QPointer<PinWindowController>& pin : m_controllers) {
        if (!pin || pin->isDisposed())
            continue;
        pin->captureSuspended = false;
        if (EditorHostView* host = pin->host())
            host->setEditingEnabled(pin->isEditing && !pin->terminationSuspended);
        if (!pin)
            continue;
        // A frozen pin stays opaque too (it ignores clicks itself).
        m_kit->setClickThrough(pin->contentWindow(), false);
        if (pin->requestedVisible()) {
            pin->activateControls();
            pin->positionChrome();
        }
        if (pin && pin->host())
            pin->host()->update();
    }
    FloatingWindows& kit = *m_kit;
    if (m_previousKeyWindow && m_previousKeyWindow->isVisible())
        kit.activate(m_previousKeyWindow);
    {
        std::set<const QWidget*> known;
        for (const QPointer<PinWindowController>& pin : m_controllers)
            if (pin)
                known.insert(pin->contentWindow());
        std::vector<PinWindowController*> fresh;
        if (m_workspace)
            for (PinWindowController* pin : pinsOf(*m_workspace))
                if (!pin->isDisposed() && !known.count(pin->contentWindow()))
                    fresh.push_back(pin);
        std::vector<QPointer<PinWindowController>> order = frontToBack(fresh, kit);
        order.insert(order.end(), m_visibleFrontToBack.begin(), m_visibleFrontToBack.end());
        std::vector<PinWindowController*> raised;
        for (auto it = order.rbegin(); it != order.rend(); ++it) {
            PinWindowController* pin = *it;
            if (!pin || pin->isDisposed() || !pin->contentWindow()->isVisible())
                continue;
            kit.raise(pin->contentWindow());
            raised.push_back(pin);
        }
        for (PinWindowController* pin : raised)
            pin->activateControls();
    }
    m_controllers.clear();
    m_visibleFrontToBack.clear();
}

} // namespace vorlith
