#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QThread>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

QImage stackedSheet(const std::vector<QImage>& tiles, const QColor& background)
{
    int width = 0;
    int height = 0;
    for (const QImage& tile : tiles) {
        width = std::max(width, tile.width());
        height += tile.height();
    }
    QImage sheet(std::max(width, 1), std::max(height, 1), QImage::Format_ARGB32_Premultiplied);
    sheet.fill(background);
    QPainter painter(&sheet);
    int y = 0;
    for (QImage tile : tiles) {
        tile.setDevicePixelRatio(1);
        painter.drawImage(0, y, tile);
        y += tile.height();
    }
    return sheet;
}

bool leaveStaleSocket(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    sockaddr_un address{};
    if (size_t(encoded.size()) >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

} // namespace vorlith::test
