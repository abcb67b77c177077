// Quit requests and shut-down.
#include "app/shell/AppCoordinator.h"

#include "app/output/feedback/FeedbackCoordinator.h"
#include "app/shell/PinRequestRoad.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace vorlith {

namespace {

// A nested event loop (a menu, an alert, a dialog) runs above the program's own.
bool insideNestedLoop()
{
    return QThread::currentThread()->loopLevel() > 1;
}

} // namespace

void AppCoordinator::quitApplication()
{
    requestTermination();
}

void AppCoordinator::requestTermination()
{
    if (m_terminationPending)
        return;
    m_terminationPending = true;
    answerTermination();
}

void AppCoordinator::answerTermination()
{
    // A request made inside a nested loop waits until that loop has ended: quitting from
    // within it would leave its caller running on a program being torn down.
    if (insideNestedLoop()) {
        QPointer<AppCoordinator> self(this);
        QTimer::singleShot(50, this, [self] {
            if (self)
                self->answerTermination();
        });
        return;
    }
    const TerminateReply reply = applicationShouldTerminate();
    if (reply == TerminateReply::later)
        return; // the review answers through requestTermination again
    m_terminationPending = false;
    if (reply == TerminateReply::cancel)
        return;
    applicationWillTerminate();
    QCoreApplication::exit(0);
}

void AppCoordinator::applicationWillTerminate()
{
    // Requests from other programs give back their file access; running tasks end.
    m_pinRoad->shutdown();
    if (m_feedbackCoordinator)
        m_feedbackCoordinator->shutdown();
    // Nothing is written at quit.
}

} // namespace vorlith
