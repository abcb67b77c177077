#include "platform/x11/X11MapExposeFilter.h"

#include <xcb/xcb.h>

namespace vorlith {

X11MapExposeFilter::X11MapExposeFilter(std::function<bool(uint32_t window)> covers) : m_covers(std::move(covers)) {}

bool X11MapExposeFilter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || !message)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & 0x7F) {
    case XCB_MAP_NOTIFY: {
        const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
        if (map->event == map->window && map->override_redirect && m_covers && m_covers(map->window))
            m_mapSequence.insert(map->window, map->sequence);
        return false;
    }
    case XCB_UNMAP_NOTIFY:
        m_mapSequence.remove(reinterpret_cast<const xcb_unmap_notify_event_t*>(event)->window);
        return false;
    case XCB_EXPOSE: {
        const auto* expose = reinterpret_cast<const xcb_expose_event_t*>(event);
        const auto mapped = m_mapSequence.constFind(expose->window);
        if (mapped == m_mapSequence.constEnd())
            return false;
        if (*mapped != expose->sequence) {
            m_mapSequence.remove(expose->window);
            return false;
        }
        ++m_dropped;
        if (expose->count == 0)
            m_mapSequence.remove(expose->window);
        return true;
    }
    default:
        return false;
    }
}

} // namespace vorlith
