#pragma once

#include <QByteArray>
#include <QHashFunctions>
#include <QString>

#include <exception>

namespace vorlith {

// Why a capture failed, in words the user reads.
class CaptureFailure final : public std::exception {
public:
    enum Case { permission, noDisplay, configuration, unavailable, restrictedContent };

    // The domain its errors carry in the event log; the code is the case's index.
    static constexpr const char* domain = "TolvaneApp.CaptureFailure";

    CaptureFailure(Case value); // NOLINT: implicit, so a case compares and throws as a failure
    Case value() const { return m_value; }
    int code() const { return static_cast<int>(m_value); }
    QString description() const;
    const char* what() const noexcept override { return m_utf8.constData(); }

    friend bool operator==(const CaptureFailure& a, const CaptureFailure& b) { return a.m_value == b.m_value; }

private:
    Case m_value;
    QByteArray m_utf8;
};

inline size_t qHash(const CaptureFailure& failure, size_t seed = 0) noexcept
{
    return ::qHash(failure.code(), seed);
}

} // namespace vorlith

template<>
struct std::hash<vorlith::CaptureFailure> {
    size_t operator()(const vorlith::CaptureFailure& failure) const noexcept
    {
        return std::hash<int>()(failure.code());
    }
};
