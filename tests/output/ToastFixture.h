#pragma once

#include "app/output/feedback/FeedbackCoordinator.h"
#include "app/output/feedback/OutputToastRenderer.h"
#include "support/FakeFloatingWindows.h"

#include <QImage>
#include <QRect>

#include <memory>
#include <vector>

namespace vorlith::test {

// Toasts against scripted screens and the fake window service, with short timers.
struct ToastFixture {
    // Two screens side by side: display 11 (primary, 1440 x 900 with a 25-point panel on top)
    // and display 22 to its right.
    std::vector<DisplayScreen> screens{
        {11u, Rect(0, 0, 1440, 900), Rect(0, 25, 1440, 875)},
        {22u, Rect(1440, 0, 1920, 1080), Rect(1440, 0, 1920, 1080)},
    };
    std::shared_ptr<FakeFloatingWindows> windows = std::make_shared<FakeFloatingWindows>();

    static constexpr Point left{100, 100};  // on display 11
    static constexpr Point right{2000, 100}; // on display 22
    static constexpr Point nowhere{-500, -500};

    ToastEnvironment environment()
    {
        ToastEnvironment e{windows, ScreenLookup([this] { return screens; }), {}};
        e.timing = {std::chrono::milliseconds(40), std::chrono::milliseconds(120), std::chrono::milliseconds(200),
                    std::chrono::milliseconds(10)};
        return e;
    }
    std::shared_ptr<FeedbackCoordinator> coordinator(std::shared_ptr<ImageResourceStore> store)
    {
        return std::make_shared<FeedbackCoordinator>(std::move(store), environment());
    }
};

// Whether any pixel of the area is dark: text drawn there.
inline bool hasInk(const QImage& image, const QRect& area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                return true;
    return false;
}

// Both halves of a two-line label show text.
inline bool bothLinesInked(const QImage& image, const QRect& label)
{
    return hasInk(image, QRect(label.left(), label.top(), label.width(), label.height() / 2))
        && hasInk(image, QRect(label.left(), label.center().y(), label.width(), label.height() / 2));
}

} // namespace vorlith::test
