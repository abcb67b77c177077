#pragma once

#include <QRect>
#include <QString>

#include <vector>

namespace vorlith {

class XcbConnection;

// One display: a RandR monitor, or the whole root window when RandR has no monitors to give.
struct X11Monitor {
    quint32 id = 0; // the monitor's name atom: stable while the server runs
    QString name;   // the name Qt gives the matching QScreen; empty for the root fallback
    QRect bounds;   // native pixels in root coordinates
};

class X11Monitors {
public:
    static std::vector<X11Monitor> query(XcbConnection& connection);
};

} // namespace vorlith
