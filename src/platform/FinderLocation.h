#pragma once

#include "core/Geometry.h"

#include <QtGlobal>

namespace vorlith {

// Where the file manager's selection lives: its front window (id and frame in Qt's global
// logical coordinates, y down) or the desktop. Two desktops are equal; windows are equal when
// their ids and frames are; a desktop never equals a window.
class FinderLocation {
public:
    enum class Kind { desktop, window };

    static FinderLocation desktop() { return FinderLocation(Kind::desktop, 0, {}); }
    static FinderLocation window(qint32 id, const Rect& bounds) { return FinderLocation(Kind::window, id, bounds); }

    Kind kind() const { return m_kind; }
    qint32 windowID() const { return m_windowID; }
    const Rect& bounds() const { return m_bounds; }

    friend bool operator==(const FinderLocation&, const FinderLocation&) = default;

private:
    FinderLocation(Kind kind, qint32 id, const Rect& bounds) : m_kind(kind), m_windowID(id), m_bounds(bounds) {}

    Kind m_kind;
    qint32 m_windowID;
    Rect m_bounds;
};

} // namespace vorlith
