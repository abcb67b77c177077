#pragma once

#include <QString>

#include <stdexcept>

namespace vorlith {

// An update engine's failure as the user reads it: a finished Chinese sentence.
class UpdateError : public std::runtime_error {
public:
    explicit UpdateError(const QString& description) : std::runtime_error(description.toStdString()) {}
    QString description() const { return QString::fromUtf8(what()); }
};

} // namespace vorlith
