#pragma once

#include <QString>

#include <cmath>
#include <functional>
#include <optional>

namespace vorlith {

// What the update window's progress bar shows: hidden (and stopped), or visible and running,
// either indeterminate or at a fraction of 0...1.
struct UpdateProgress {
    bool shown = false;
    std::optional<double> fraction; // none: indeterminate

    static UpdateProgress hidden() { return {}; }
    static UpdateProgress indeterminate() { return {true, std::nullopt}; }
    // Below 0 and not-a-number show 0, above 1 shows 1.
    static UpdateProgress determinate(double value)
    {
        const double clamped = std::isnan(value) || value < 0 ? 0.0 : std::min(value, 1.0);
        return {true, clamped};
    }
    friend bool operator==(const UpdateProgress&, const UpdateProgress&) = default;
};

// One step shown in the update window: every field is written anew, in this order.
struct UpdateWindowStep {
    QString heading;
    QString detail;
    QString primaryTitle;       // empty when the primary button is hidden
    bool primaryVisible = false;
    std::function<void()> primaryAction;
    QString secondaryTitle;
    std::function<void()> closeAction;
    UpdateProgress progress;
};

} // namespace vorlith
