#pragma once

#include "app/pins/PinEnvironment.h"
#include "app/pins/PinWindowController.h"
#include "editor/HostViewFixture.h"
#include "support/FakeFloatingWindows.h"

#include <memory>

namespace vorlith::test {

// A pin over the editor fixture's 1440 × 900 document, on scripted screens (a 1440 × 900
// primary whose visible frame loses a 25-point bar, and a second screen to its right), with
// the fake window service and a scripted pointer.
struct PinFixture : HostViewFixture {
    std::shared_ptr<FakeFloatingWindows> kit = std::make_shared<FakeFloatingWindows>();
    std::vector<DisplayScreen> screens{
        {1, Rect(0, 0, 1440, 900), Rect(0, 25, 1440, 875)},
        {2, Rect(1440, 0, 1920, 1080), Rect(1440, 0, 1920, 1080)},
    };
    Point pinPointer{-1000, -1000};

    explicit PinFixture(QImage image = solidImage(QSize(2880, 1800), pictureColor), Size size = logical)
        : HostViewFixture(std::move(image), size)
    {
    }

    PinEnvironment pinEnvironment()
    {
        PinEnvironment e;
        e.windows = kit;
        e.screens = [this] { return screens; };
        e.mainScreen = [this]() -> std::optional<DisplayScreen> {
            return screens.empty() ? std::nullopt : std::optional(screens.front());
        };
        e.pointer = [this] { return pinPointer; };
        return e;
    }

    std::unique_ptr<PinWindowController> pin(const Rect& selection, std::optional<Point> near = std::nullopt)
    {
        commitSelection(selection);
        return PinWindowController::make(document, make(true), selection, near, pinEnvironment());
    }
};

} // namespace vorlith::test
