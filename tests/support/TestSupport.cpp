#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

namespace vorlith::test {

bool runUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout)
{
    QDeadlineTimer deadline(timeout);
    while (!predicate()) {
        if (deadline.hasExpired())
            return predicate();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}

void spin(std::chrono::milliseconds duration)
{
    QDeadlineTimer deadline(duration);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
}

QString testOutputDir()
{
    const QString dir = QStringLiteral(VORLITH_TEST_OUTPUT_DIR);
    QDir().mkpath(dir);
    return dir;
}

QString saveTestImage(const QImage& image, const QString& name)
{
    const QString path = testOutputDir() + QLatin1Char('/') + name + QStringLiteral(".png");
    image.save(path, "PNG");
    return path;
}

} // namespace vorlith::test
