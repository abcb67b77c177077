#pragma once

#include <QString>

#include <stdexcept>

namespace vorlith {

// A file could not be staged or put in place. The description is a short Chinese sentence
// that goes into the save failure message.
class FileWriteError : public std::runtime_error {
public:
    explicit FileWriteError(const QString& description);

    // The sentence for a system error number.
    static FileWriteError fromErrno(int error);
    static QString describe(int error);

    QString description() const { return QString::fromUtf8(what()); }
};

} // namespace vorlith
