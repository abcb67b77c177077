#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>
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
    // Gives the keyboard back to the application's window, while that window still exists;
    // nothing otherwise.
    virtual void restore(const FrontApplication& application) = 0;
    // Starts reporting each change of the application in front through `onChanged`. Without
    // a window manager no change is reported (nothing says which window is active).
    virtual void watchChanges() = 0;

    std::function<void(const std::optional<FrontApplication>& front)> onChanged;
};

} // namespace vorlith
