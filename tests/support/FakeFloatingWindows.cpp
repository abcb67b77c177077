#include "support/FakeFloatingWindows.h"

namespace vorlith::test {

FakeFloatingWindows::Placed* FakeFloatingWindows::find(const QWidget* window)
{
    for (Placed& each : m_placed)
        if (each.window == window)
            return &each;
    return nullptr;
}

const FakeFloatingWindows::Placed* FakeFloatingWindows::placed(const QWidget* window) const
{
    for (const Placed& each : m_placed)
        if (each.window == window)
            return &each;
    return nullptr;
}

void FakeFloatingWindows::place(QWidget* window, WindowLevel level, bool takesFocus)
{
    window->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    window->setAttribute(Qt::WA_ShowWithoutActivating, !takesFocus);
    if (Placed* existing = find(window))
        *existing = {window, level, takesFocus, existing->clickThrough, {}};
    else
        m_placed.push_back({window, level, takesFocus, false, {}});
    m_order.add(window, level);
}

void FakeFloatingWindows::placeDialog(QWidget* dialog, QWidget* parent, WindowLevel level)
{
    m_placed.push_back({dialog, level, true, false, parent});
    m_order.addDialog(dialog, parent, level);
}

void FakeFloatingWindows::show(QWidget* window)
{
    ++showCount;
    window->show();
    m_order.raised(window);
}

void FakeFloatingWindows::raise(QWidget* window)
{
    ++raiseCount;
    m_order.raised(window);
}

void FakeFloatingWindows::setClickThrough(QWidget* window, bool clickThrough)
{
    if (Placed* entry = find(window))
        entry->clickThrough = clickThrough;
    window->setAttribute(Qt::WA_TransparentForMouseEvents, clickThrough);
}

void FakeFloatingWindows::activate(QWidget* window)
{
    activations.emplace_back(window);
    m_order.raised(window);
    window->activateWindow();
}

void FakeFloatingWindows::setPixelGeometry(QWidget* window, const QRect& pixels)
{
    pixelGeometries.emplace_back(window, pixels);
}

void FakeFloatingWindows::holdKeyboard(QWidget* window)
{
    std::erase_if(m_holders, [window](const QPointer<QWidget>& each) { return !each || each == window; });
    m_holders.emplace_back(window);
}

void FakeFloatingWindows::releaseKeyboard(QWidget* window)
{
    std::erase_if(m_holders, [window](const QPointer<QWidget>& each) { return !each || each == window; });
}

QWidget* FakeFloatingWindows::keyboardGrabWindow() const
{
    if (grabRefused)
        return nullptr;
    for (auto each = m_holders.rbegin(); each != m_holders.rend(); ++each)
        if (*each && (*each)->isVisible())
            return *each;
    return nullptr;
}

void FakeFloatingWindows::attachSatellite(QWidget* window, QWidget* owner)
{
    window->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    m_placed.push_back({window, WindowLevel::pin, false, false, owner});
    for (Satellites& group : m_satellites)
        if (group.owner == owner) {
            group.windows.emplace_back(window);
            return;
        }
    m_satellites.push_back({owner, {window}});
}

void FakeFloatingWindows::restackSatellites(QWidget*)
{
    ++satelliteRestacks;
}

QWidget* FakeFloatingWindows::satelliteOwner(const QWidget* window) const
{
    for (const Satellites& group : m_satellites)
        for (const QPointer<QWidget>& each : group.windows)
            if (each == window)
                return group.owner;
    return nullptr;
}

std::vector<QWidget*> FakeFloatingWindows::stacking() const
{
    std::vector<QWidget*> result;
    for (QWidget* window : m_order.ordered()) {
        result.push_back(window);
        for (const Satellites& group : m_satellites)
            if (group.owner == window)
                for (const QPointer<QWidget>& each : group.windows)
                    if (each)
                        result.push_back(each);
    }
    return result;
}

std::vector<QWidget*> FakeFloatingWindows::frontToBack() const
{
    std::vector<QWidget*> result;
    for (QWidget* window : stacking())
        if (window->isVisible())
            result.insert(result.begin(), window);
    return result;
}

void FakeFloatingWindows::setCompositor(bool running)
{
    if (running == m_compositor)
        return;
    m_compositor = running;
    emit compositorChanged(running);
}

} // namespace vorlith::test
