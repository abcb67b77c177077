#include "app/capture/UtilityWindowCaptureLease.h"

namespace vorlith {

UtilityWindowCaptureLease::UtilityWindowCaptureLease(const std::vector<QWidget*>& windows)
{
    for (QWidget* window : windows) {
        if (window && window->isVisible())
            m_windows.emplace_back(window);
    }
    for (const QPointer<QWidget>& window : m_windows) {
        if (window->isActiveWindow()) {
            m_keyWindow = window;
            m_responder = window->focusWidget();
            break;
        }
    }
    for (const QPointer<QWidget>& window : m_windows)
        window->hide();
}

void UtilityWindowCaptureLease::restore()
{
    if (m_restored)
        return;
    m_restored = true;
    // Each window shown comes in front of the previous, so the first of the list ends on top.
    for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it) {
        if (QWidget* window = *it) {
            window->show();
            window->raise();
        }
    }
    if (m_keyWindow) {
        m_keyWindow->show();
        m_keyWindow->raise();
        m_keyWindow->activateWindow();
        if (m_responder && m_responder->window() == m_keyWindow)
            m_responder->setFocus(Qt::OtherFocusReason);
    }
}

std::vector<QWidget*> UtilityWindowCaptureLease::windows() const
{
    std::vector<QWidget*> out;
    out.reserve(m_windows.size());
    for (const QPointer<QWidget>& window : m_windows)
        out.push_back(window.data());
    return out;
}

} // namespace vorlith
