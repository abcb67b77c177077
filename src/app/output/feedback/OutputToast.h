#pragma once

#include "core/Geometry.h"

#include <QString>
#include <QUuid>

#include <memory>
#include <optional>

namespace vorlith {

class FeedbackCoordinator;

// The per-owner face of a FeedbackCoordinator: every toast begun through it carries its
// `owner`, which groups one editor's toasts (removePending, visibleFrame).
class OutputToast {
public:
    // Without a coordinator it makes a private one with no memory budget.
    explicit OutputToast(std::shared_ptr<FeedbackCoordinator> coordinator = nullptr);

    const QUuid owner;
    const std::shared_ptr<FeedbackCoordinator> coordinator;
    // The facade's latest toast; its callers set it after each `begin` that succeeds.
    std::optional<QUuid> current;

    void showSuccess(const QString& message, const Point& anchor);
    // Stays 2.5 s.
    void showNotice(const QString& message, const Point& anchor);
    // A working toast's new text; nothing for any other.
    void progress(const QUuid& id, const QString& message);
    // Moves a working toast to the screen under the anchor.
    void adoptOrigin(const QUuid& id, const Point& anchor);

private:
    void showFinished(const QString& message, const Point& anchor, bool notice);
};

} // namespace vorlith
