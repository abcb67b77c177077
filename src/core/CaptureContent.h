#pragma once

#include "core/Annotation.h"
#include "core/Geometry.h"
#include "core/Json.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vorlith {

// Where an image came from. The JSON value of each case is its name.
enum class DocumentOrigin { screenCapture, clipboardImage, localFile };

inline constexpr std::array<DocumentOrigin, 3> allDocumentOrigins{
    DocumentOrigin::screenCapture, DocumentOrigin::clipboardImage, DocumentOrigin::localFile};
std::string_view documentOriginName(DocumentOrigin origin);
std::optional<DocumentOrigin> documentOriginFromName(std::string_view name);

// The editable content of one image: the selected region, its marks in order and the number
// the next numbered marker gets (absent once the counter passed 999).
struct CaptureContent {
    Rect selection;
    std::vector<Annotation> annotations;
    std::optional<int> nextNumber;

    // Compares nextNumber too; see isSameImage for the image alone.
    friend bool operator==(const CaptureContent&, const CaptureContent&) = default;

    // Finite selection, nextNumber absent or 1...999, and every mark valid.
    bool isValid() const;
    // Same selection and marks (ids included); nextNumber is ignored.
    bool isSameImage(const CaptureContent& other) const;
    // Compact JSON with sorted keys and nextNumber 1; empty when a number is not finite.
    QByteArray signature() const;
    // 128 + the marks' estimates. A single pass without allocation.
    std::int64_t estimatedBytes() const;

    Json toJson() const;                               // throws JsonEncodeError
    static CaptureContent fromJson(const Json& value); // throws JsonDecodeError; does not test isValid
};

} // namespace vorlith
