#include "app/output/PreparedFile.h"

#include "app/output/FileAccessLease.h"
#include "app/output/FileWriteError.h"
#include "core/CancellationError.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace vorlith {

namespace {

constexpr qsizetype writeChunk = qsizetype(4) << 20;

QByteArray encodedPath(const QString& path)
{
    return QFile::encodeName(path);
}

// The descriptor is closed on every path; a failed close after a write is an error.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    void close()
    {
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0 && errno != EINTR)
            throw FileWriteError::fromErrno(errno);
    }

private:
    int m_fd;
};

} // namespace

PreparedFile::PreparedFile(const QByteArray& data, QString destination, std::shared_ptr<FileAccessLease> access,
                           std::stop_token stop)
    : m_destination(std::move(destination)), m_access(std::move(access))
{
    if (stop.stop_requested())
        throw CancellationError();
    Descriptor fd(createTemporary());
    try {
        write(fd.get(), data, stop);
        fd.close();
        if (stop.stop_requested())
            throw CancellationError();
    } catch (...) {
        removeTemporary();
        throw;
    }
}

PreparedFile::~PreparedFile()
{
    if (!m_placed)
        removeTemporary();
}

int PreparedFile::createTemporary()
{
    const QString folder = QFileInfo(m_destination).absolutePath();
    // The file it replaces gives its permissions; a new file gets what the umask leaves of 0666,
    // which the kernel applies to the mode given to open().
    struct stat existing {};
    const bool replacing = ::stat(encodedPath(m_destination).constData(), &existing) == 0 && S_ISREG(existing.st_mode);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name = QString::fromLatin1(stagingPrefix) +
                             QString::number(QRandomGenerator::system()->generate64(), 36);
        const QString path = folder + QLatin1Char('/') + name;
        const int fd = ::open(encodedPath(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            throw FileWriteError::fromErrno(errno);
        }
        m_temporary = path;
        if (replacing && ::fchmod(fd, existing.st_mode & 07777) != 0) {
            const int error = errno;
            ::close(fd);
            removeTemporary();
            throw FileWriteError::fromErrno(error);
        }
        return fd;
    }
    throw FileWriteError::fromErrno(EEXIST);
}

void PreparedFile::write(int fd, const QByteArray& data, const std::stop_token& stop)
{
    const char* next = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        if (stop.stop_requested())
            throw CancellationError();
        const ssize_t written = ::write(fd, next, size_t(qMin(left, writeChunk)));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw FileWriteError::fromErrno(errno);
        }
        next += written;
        left -= written;
    }
    if (::fsync(fd) != 0)
        throw FileWriteError::fromErrno(errno);
}

void PreparedFile::place()
{
    if (m_placed || m_temporary.isEmpty())
        throw FileWriteError::fromErrno(ENOENT);
    if (::rename(encodedPath(m_temporary).constData(), encodedPath(m_destination).constData()) != 0)
        throw FileWriteError::fromErrno(errno);
    m_placed = true;
}

void PreparedFile::removeTemporary()
{
    if (!m_temporary.isEmpty())
        ::unlink(encodedPath(m_temporary).constData());
}

} // namespace vorlith
