#pragma once

#include <QPointer>
#include <QWidget>

#include <vector>

namespace vorlith {

// Takes the application's own utility windows off the screen for the length of a capture and
// brings them back afterwards, with the one that had the keyboard active again and its focus
// where it was.
class UtilityWindowCaptureLease {
public:
    // Absent entries are dropped; only the visible windows are hidden and later restored.
    explicit UtilityWindowCaptureLease(const std::vector<QWidget*>& windows);
    UtilityWindowCaptureLease(const UtilityWindowCaptureLease&) = delete;
    UtilityWindowCaptureLease& operator=(const UtilityWindowCaptureLease&) = delete;

    // Brings the windows back; only the first call acts.
    void restore();

    // The hidden windows in the order given (a window destroyed meanwhile reads as null).
    std::vector<QWidget*> windows() const;
    QWidget* keyWindow() const { return m_keyWindow; }
    QWidget* responder() const { return m_responder; }
    bool restored() const { return m_restored; }

private:
    std::vector<QPointer<QWidget>> m_windows;
    QPointer<QWidget> m_keyWindow;
    QPointer<QWidget> m_responder;
    bool m_restored = false;
};

} // namespace vorlith
