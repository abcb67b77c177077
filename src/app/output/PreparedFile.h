#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <stop_token>

namespace vorlith {

class FileAccessLease;

// Encoded bytes staged beside their destination: a hidden temporary file in the same folder
// (so on the same file system), carrying the permissions the destination will keep: those
// of the file it replaces, or 0666 less the umask for a new one. Staging writes and flushes
// the bytes without touching the destination; `place()` then renames the file into place in
// one step. A staged file that is never placed is removed when the object goes.
class PreparedFile {
public:
    // Stages the bytes; runs on the file queue. Throws FileWriteError, or CancellationError
    // when `stop` fires before or during the write (the temporary file is removed then).
    PreparedFile(const QByteArray& data, QString destination, std::shared_ptr<FileAccessLease> access,
                 std::stop_token stop = {});
    ~PreparedFile();
    PreparedFile(const PreparedFile&) = delete;
    PreparedFile& operator=(const PreparedFile&) = delete;

    const QString& temporary() const { return m_temporary; }
    const QString& destination() const { return m_destination; }

    // Replaces the destination (or creates it) with the staged file. Throws FileWriteError.
    void place();

    // The prefix of every staging file's name.
    static constexpr const char* stagingPrefix = ".vorlith-export-";

private:
    // Creates the temporary file; returns its descriptor.
    int createTemporary();
    void write(int fd, const QByteArray& data, const std::stop_token& stop);
    void removeTemporary();

    QString m_temporary;
    QString m_destination;
    std::shared_ptr<FileAccessLease> m_access;
    bool m_placed = false;
};

} // namespace vorlith
