#pragma once

#include <QString>

#include <exception>

namespace vorlith {

// Why one encoded image cannot be used. For a clipboard import each of these means only that
// this representation failed: another representation of the same contents may still work.
class ImportError : public std::exception {
public:
    enum Reason { unsupported, corrupt, animated, noImage };
    explicit ImportError(Reason reason) : m_reason(reason) {}
    Reason reason() const { return m_reason; }
    // The user-facing sentence.
    QString description() const { return QString::fromUtf8(what()); }
    const char* what() const noexcept override;
    friend bool operator==(const ImportError& a, const ImportError& b) { return a.m_reason == b.m_reason; }

private:
    Reason m_reason;
};

} // namespace vorlith
