#include "rendering/AnnotationRenderError.h"

namespace vorlith {

const char* AnnotationRenderError::what() const noexcept
{
    switch (m_reason) {
    case invalidSize:
        return "annotation render: invalid size";
    case invalidAnnotation:
        return "annotation render: invalid annotation";
    case allocationFailed:
        return "annotation render: allocation failed";
    case imageFailed:
        return "annotation render: image failed";
    }
    return "annotation render: error";
}

} // namespace vorlith
