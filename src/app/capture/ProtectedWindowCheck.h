#pragma once

#include "core/Geometry.h"
#include "platform/CapturePlatform.h"

#include <QSet>

#include <vector>

namespace vorlith {

// Whether a display shows a window of another application that refuses capture and is not
// wholly hidden behind readable, opaque windows. Capturing such a display would show whatever
// the window system puts in the refused window's place instead of what the user sees.
class ProtectedWindowCheck {
public:
    // windows: front to back; displayBounds: in the windows' global space.
    static bool hasVisibleProtectedWindow(const std::vector<WindowListEntry>& windows, const Rect& displayBounds,
                                          qint32 excludingPID, const QSet<quint32>& readableWindowIDs);

    // Finite, with positive width and height.
    static bool isUsable(const Rect& rect);

    // More pieces than this during the subtraction and the check gives up: not covered.
    static constexpr std::size_t maximumPieces = 1024;

private:
    static bool isCovered(const Rect& target, const std::vector<Rect>& covers);
    static void subtract(const Rect& piece, const Rect& cover, std::vector<Rect>& out);
};

} // namespace vorlith
