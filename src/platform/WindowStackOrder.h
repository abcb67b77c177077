#pragma once

#include "platform/WindowLevel.h"

#include <QPointer>
#include <QWidget>

#include <optional>

#include <vector>

namespace vorlith {

// The order in which our own top-levels should stand, bottom first: by level, then by when
// each was last raised. A dialog stands at its parent's level when that is higher, and it is
// raised with its parent, so it is never left beneath it. Windows that have gone drop out.
class WindowStackOrder {
public:
    void add(QWidget* window, WindowLevel level);
    void addDialog(QWidget* dialog, QWidget* parent, WindowLevel level);
    // Marks the window as the most recently raised of its rank (its dialogs follow it).
    void raised(QWidget* window);
    [[nodiscard]] bool contains(const QWidget* window) const;
    [[nodiscard]] std::optional<WindowLevel> level(const QWidget* window) const;
    // Bottom first.
    [[nodiscard]] std::vector<QWidget*> ordered() const;

private:
    struct Entry {
        QPointer<QWidget> window;
        QPointer<QWidget> parent; // for dialogs
        WindowLevel level = WindowLevel::normal;
        unsigned long long sequence = 0;
    };
    Entry* find(const QWidget* window);
    const Entry* find(const QWidget* window) const;
    int effectiveRank(const Entry& entry) const;
    void prune();

    std::vector<Entry> m_entries;
    unsigned long long m_sequence = 0;
};

} // namespace vorlith
