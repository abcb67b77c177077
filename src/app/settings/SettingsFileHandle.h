#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <memory>
#include <streambuf>

namespace vorlith::settingsFile {

// One open settings file (or backup): opened without blocking, so a FIFO in its place never
// holds start-up, and accepted only when it is a regular file. Closed when it goes.
class SettingsFileHandle {
public:
    // Throws FileWriteError when the file is there but cannot be opened or is no regular
    // file; a missing file is no error (`exists()` is false).
    explicit SettingsFileHandle(const QString& path);
    ~SettingsFileHandle();
    SettingsFileHandle(const SettingsFileHandle&) = delete;
    SettingsFileHandle& operator=(const SettingsFileHandle&) = delete;

    bool exists() const { return m_fd >= 0; }
    // At most limit + 1 bytes from the start: more than `limit` means the file is larger.
    // Throws FileWriteError.
    QByteArray read(qint64 limit);
    // The file from its start as a stream that ends after `limit` bytes, for reading it
    // piece by piece. Valid while this handle lives.
    std::streambuf& stream(qint64 limit);

private:
    class Buffer;
    int m_fd = -1;
    std::unique_ptr<Buffer> m_buffer;
};

} // namespace vorlith::settingsFile
