#include "app/settings/SettingsFileHandle.h"

#include "app/output/FileWriteError.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlith::settingsFile {

namespace {

// pread, retried when a signal interrupts it; -1 with errno on failure.
ssize_t readAt(int fd, char* into, size_t size, off_t offset)
{
    for (;;) {
        const ssize_t got = ::pread(fd, into, size, offset);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

} // namespace

class SettingsFileHandle::Buffer : public std::streambuf {
public:
    Buffer(int fd, qint64 limit) : m_fd(fd), m_left(limit) {}

protected:
    int_type underflow() override
    {
        if (m_left <= 0)
            return traits_type::eof();
        const ssize_t got = readAt(m_fd, m_data.data(), size_t(std::min<qint64>(m_left, qint64(m_data.size()))), m_offset);
        if (got <= 0)
            return traits_type::eof();
        m_offset += got;
        m_left -= got;
        setg(m_data.data(), m_data.data(), m_data.data() + got);
        return traits_type::to_int_type(m_data[0]);
    }

private:
    int m_fd;
    qint64 m_left;
    off_t m_offset = 0;
    std::array<char, 64 * 1024> m_data{};
};

SettingsFileHandle::SettingsFileHandle(const QString& path)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return;
        throw FileWriteError::fromErrno(errno);
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        const int error = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        throw FileWriteError::fromErrno(error);
    }
    m_fd = fd;
}

SettingsFileHandle::~SettingsFileHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QByteArray SettingsFileHandle::read(qint64 limit)
{
    QByteArray bytes;
    char buffer[64 * 1024];
    while (bytes.size() <= limit) {
        const ssize_t got = readAt(m_fd, buffer, sizeof buffer, off_t(bytes.size()));
        if (got < 0)
            throw FileWriteError::fromErrno(errno);
        if (got == 0)
            break;
        bytes.append(buffer, qsizetype(qMin<qint64>(got, limit + 1 - bytes.size())));
    }
    return bytes;
}

std::streambuf& SettingsFileHandle::stream(qint64 limit)
{
    m_buffer = std::make_unique<Buffer>(m_fd, limit);
    return *m_buffer;
}

} // namespace vorlith::settingsFile
