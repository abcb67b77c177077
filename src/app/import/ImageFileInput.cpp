#include "app/import/ImageFileInput.h"

#include "core/CancellationError.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlith {

namespace {

constexpr qint64 largestByteCount = std::numeric_limits<qint64>::max() - 1;

void closeQuietly(int descriptor)
{
    if (descriptor >= 0)
        ::close(descriptor); // nothing was written: a failing close loses nothing
}

void throwIfStopped(const std::stop_token& stop)
{
    if (stop.stop_requested())
        throw CancellationError();
}

// One read(2) that is retried when a signal interrupts it; -1 only for a real failure.
ssize_t readRetrying(int descriptor, char* into, size_t bytes)
{
    for (;;) {
        const ssize_t got = ::read(descriptor, into, bytes);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

[[noreturn]] void throwReadFailure()
{
    throw std::system_error(errno, std::generic_category(), "read");
}

} // namespace

const char* ImageFileInput::Error::what() const noexcept
{
    switch (m_code) {
    case noPermission:
        return "file cannot be opened";
    case corruptFile:
        return "not a readable regular file of stable size";
    case unsupportedScheme:
        return "not a file URL";
    case tooLarge:
        return "file grew while it was read";
    }
    return "file read error";
}

ImageFileInput::ImageFileInput(const QUrl& url)
{
    if (!url.isLocalFile())
        throw Error(Error::unsupportedScheme);
    const QString path = url.toLocalFile();
    if (path.isEmpty())
        throw Error(Error::noPermission);
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        throw Error(Error::noPermission);

    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 1 ||
        qint64(status.st_size) > largestByteCount) {
        closeQuietly(descriptor);
        throw Error(Error::corruptFile);
    }
    m_descriptor = descriptor;
    m_byteCount = status.st_size;
    m_identity = {status.st_dev, quint64(status.st_ino)};
}

ImageFileInput::~ImageFileInput()
{
    closeQuietly(m_descriptor);
}

QByteArray ImageFileInput::read(std::stop_token stop)
{
    // Allocated once at the final size; chunks land in place.
    QByteArray bytes(m_byteCount, Qt::Uninitialized);
    qint64 held = 0;
    while (held < m_byteCount) {
        throwIfStopped(stop);
        const size_t want = size_t(std::min(m_byteCount - held, chunkBytes));
        const ssize_t got = readRetrying(m_descriptor, bytes.data() + held, want);
        if (got < 0)
            throwReadFailure();
        if (got == 0)
            throw Error(Error::corruptFile); // shrank since it was opened
        held += got;
    }

    throwIfStopped(stop);
    char extra = 0;
    const ssize_t more = readRetrying(m_descriptor, &extra, 1);
    if (more < 0)
        throwReadFailure();
    if (more > 0)
        throw Error(Error::tooLarge);

    struct stat status {};
    if (::fstat(m_descriptor, &status) != 0 || qint64(status.st_size) != m_byteCount)
        throw Error(Error::corruptFile);
    return bytes;
}

} // namespace vorlith
