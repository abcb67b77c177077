#pragma once

#include <QByteArray>
#include <QUrl>
#include <QtGlobal>

#include <exception>
#include <stop_token>

#include <sys/types.h>

namespace vorlith {

// One opened regular file: its identity and size taken when it was opened, and one read of
// the whole file in bounded chunks that refuses a file which grew or shrank meanwhile.
// Opening reads nothing, so callers can skip a file they already have and reserve memory
// for its bytes before any byte is loaded. Closing happens on destruction.
//
// Made on the main thread, read on a worker; never used by two threads at once.
class ImageFileInput {
public:
    // The file-reading errors; the codes are those the rest of the system logs.
    class Error : public std::exception {
    public:
        enum Code {
            noPermission = 257,      // no local path, or open(2) failed for any reason
            corruptFile = 259,       // not a regular file, empty, too large, or changed size
            unsupportedScheme = 262, // not a file URL
            tooLarge = 263,          // more bytes than the size found at opening
        };
        explicit Error(Code code) : m_code(code) {}
        Code code() const { return m_code; }
        const char* what() const noexcept override;
        friend bool operator==(const Error& a, const Error& b) { return a.m_code == b.m_code; }

    private:
        Code m_code;
    };

    // The file as the file system knows it, whatever path reached it. The device is the
    // whole dev_t: two files on devices whose numbers agree in their low 32 bits differ.
    struct Identity {
        dev_t device = 0;
        quint64 inode = 0;
        friend bool operator==(const Identity&, const Identity&) = default;
        friend size_t qHash(const Identity& identity, size_t seed = 0)
        {
            return ::qHashMulti(seed, quint64(identity.device), identity.inode);
        }
    };

    static constexpr qint64 chunkBytes = 65'536;

    // Opens the file without blocking (a FIFO is refused, not waited on). Throws Error.
    explicit ImageFileInput(const QUrl& url);
    ~ImageFileInput();
    ImageFileInput(const ImageFileInput&) = delete;
    ImageFileInput& operator=(const ImageFileInput&) = delete;

    qint64 byteCount() const { return m_byteCount; }
    const Identity& identity() const { return m_identity; }

    // Exactly byteCount() bytes. Throws Error, std::system_error for a failed read(2), or
    // CancellationError when `stop` is triggered before a chunk. Call once.
    QByteArray read(std::stop_token stop = {});

private:
    int m_descriptor = -1;
    qint64 m_byteCount = 0;
    Identity m_identity;
};

} // namespace vorlith
