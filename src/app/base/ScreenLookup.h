#pragma once

#include "core/Geometry.h"

#include <QtGlobal>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vorlith {

class CapturePlatform;

// One screen as our windows see it: Qt's global logical coordinates (y down).
struct DisplayScreen {
    // The display's number: the same id the capture platform gives the monitor (on X11 its
    // RandR name atom), so a toast, an overlay and a recovered capture that compare displays
    // agree. Absent when the screen matches no display.
    std::optional<quint32> displayNumber;
    Rect frame;
    Rect visibleFrame; // without panels and docks
    friend bool operator==(const DisplayScreen&, const DisplayScreen&) = default;
};

// Which display a point is on, asked in one place. Screens come in the system's order, the
// primary screen first.
class ScreenLookup {
public:
    using Source = std::function<std::vector<DisplayScreen>()>;

    explicit ScreenLookup(Source source);

    // Qt's screens, numbered by the capture platform's displays (joined on their frames).
    [[nodiscard]] static ScreenLookup system(std::shared_ptr<CapturePlatform> platform);

    [[nodiscard]] std::vector<DisplayScreen> screens() const;
    // The first screen whose frame holds the point (half-open, so a point on the edge between
    // two screens belongs to the one it starts).
    [[nodiscard]] std::optional<DisplayScreen> screenAt(const Point& point) const;
    // The first screen carrying this number; with an absent number, the first screen that has
    // none.
    [[nodiscard]] std::optional<DisplayScreen> screenNumbered(std::optional<quint32> number) const;

private:
    Source m_source;
};

} // namespace vorlith
