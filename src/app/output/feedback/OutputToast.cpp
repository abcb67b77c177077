#include "app/output/feedback/OutputToast.h"

#include "app/output/feedback/FeedbackCoordinator.h"

namespace vorlith {

OutputToast::OutputToast(std::shared_ptr<FeedbackCoordinator> coordinator_)
    : owner(QUuid::createUuid()),
      coordinator(coordinator_ ? std::move(coordinator_) : std::make_shared<FeedbackCoordinator>(nullptr))
{
}

void OutputToast::showFinished(const QString& message, const Point& anchor, bool notice)
{
    const QUuid id = QUuid::createUuid();
    if (!coordinator->begin(id, owner, anchor, message, [] {}))
        return; // nothing is shown
    current = id;
    coordinator->success(id, message, notice);
}

void OutputToast::showSuccess(const QString& message, const Point& anchor)
{
    showFinished(message, anchor, false);
}

void OutputToast::showNotice(const QString& message, const Point& anchor)
{
    showFinished(message, anchor, true);
}

void OutputToast::progress(const QUuid& id, const QString& message)
{
    coordinator->progress(id, message);
}

void OutputToast::adoptOrigin(const QUuid& id, const Point& anchor)
{
    coordinator->adoptOrigin(id, anchor);
}

} // namespace vorlith
