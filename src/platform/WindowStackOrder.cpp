#include "platform/WindowStackOrder.h"

#include <algorithm>

namespace vorlith {

void WindowStackOrder::prune()
{
    std::erase_if(m_entries, [](const Entry& entry) { return entry.window.isNull(); });
}

WindowStackOrder::Entry* WindowStackOrder::find(const QWidget* window)
{
    for (Entry& entry : m_entries)
        if (entry.window == window)
            return &entry;
    return nullptr;
}

const WindowStackOrder::Entry* WindowStackOrder::find(const QWidget* window) const
{
    for (const Entry& entry : m_entries)
        if (entry.window == window)
            return &entry;
    return nullptr;
}

void WindowStackOrder::add(QWidget* window, WindowLevel level)
{
    addDialog(window, nullptr, level);
}

void WindowStackOrder::addDialog(QWidget* dialog, QWidget* parent, WindowLevel level)
{
    prune();
    if (!dialog)
        return;
    Entry* entry = find(dialog);
    if (!entry) {
        m_entries.push_back({dialog, parent, level, ++m_sequence});
        return;
    }
    entry->parent = parent;
    entry->level = level;
}

void WindowStackOrder::raised(QWidget* window)
{
    prune();
    Entry* entry = find(window);
    if (!entry)
        return;
    entry->sequence = ++m_sequence;
    // A dialog follows its parent up, so the parent never covers it. Done breadth-first, so a
    // dialog of a dialog follows too.
    std::vector<const QWidget*> parents{window};
    for (std::size_t i = 0; i < parents.size(); ++i)
        for (Entry& each : m_entries)
            if (each.parent == parents[i] && each.window != window) {
                each.sequence = ++m_sequence;
                parents.push_back(each.window);
            }
}

bool WindowStackOrder::contains(const QWidget* window) const
{
    const Entry* entry = find(window);
    return entry && entry->window;
}

std::optional<WindowLevel> WindowStackOrder::level(const QWidget* window) const
{
    const Entry* entry = find(window);
    if (!entry || !entry->window)
        return std::nullopt;
    return entry->level;
}

int WindowStackOrder::effectiveRank(const Entry& entry) const
{
    int rank = windowLevel::rank(entry.level);
    // Walk up the dialog chain; a cycle cannot last longer than the number of entries.
    const Entry* current = &entry;
    for (std::size_t hops = 0; current->parent && hops < m_entries.size(); ++hops) {
        const Entry* parent = find(current->parent);
        if (!parent)
            break;
        rank = std::max(rank, windowLevel::rank(parent->level));
        current = parent;
    }
    return rank;
}

std::vector<QWidget*> WindowStackOrder::ordered() const
{
    std::vector<const Entry*> live;
    for (const Entry& entry : m_entries)
        if (entry.window)
            live.push_back(&entry);
    std::stable_sort(live.begin(), live.end(), [this](const Entry* a, const Entry* b) {
        const int ra = effectiveRank(*a), rb = effectiveRank(*b);
        return ra != rb ? ra < rb : a->sequence < b->sequence;
    });
    std::vector<QWidget*> out;
    out.reserve(live.size());
    for (const Entry* entry : live)
        out.push_back(entry->window);
    return out;
}

} // namespace vorlith
