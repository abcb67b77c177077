#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace vorlith {

// The application in front: the one whose window the window manager calls active, or,
// without a window manager, whose top-level window holds the keyboard focus.
struct FrontApplication {
    std::optional<qint32> pid;   // absent when the owner cannot be told
    quint32 window = 0;          // the client window
    std::optional<QString> windowClass; // the class part of WM_CLASS ("Nautilus"); absent when unset
    friend bool operator==(const FrontApplication&, const FrontApplication&) = default;
};

// Which application is in front, asked by whoever records where a request came from.
// Main thread only.
class ApplicationFocus {
public:
    virtual ~ApplicationFocus() = default;

    // Absent when no application is in front (or no display answers).
    virtual std::optional<FrontApplication> frontApplication() = 0;
};

} // namespace vorlith
