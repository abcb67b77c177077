#pragma once

#include <QHashFunctions>

#include <exception>

namespace vorlith {

// Why drawing marks failed. Nothing is drawn and no partial result is kept.
class AnnotationRenderError : public std::exception {
public:
    enum Reason {
        invalidSize,       // the logical size is not finite and positive, or does not fit the image
        invalidAnnotation, // the marks break the content's validity rules
        allocationFailed,  // a bitmap could not be created
        imageFailed,       // a bitmap could not be drawn into
    };

    explicit AnnotationRenderError(Reason reason) : m_reason(reason) {}
    Reason reason() const { return m_reason; }
    const char* what() const noexcept override;

    friend bool operator==(const AnnotationRenderError& a, const AnnotationRenderError& b)
    {
        return a.m_reason == b.m_reason;
    }
    friend size_t qHash(const AnnotationRenderError& error, size_t seed = 0) noexcept
    {
        return ::qHash(int(error.m_reason), seed); // not vorlith::qHash(CaptureTool) when that is declared first
    }

private:
    Reason m_reason;
};

} // namespace vorlith
