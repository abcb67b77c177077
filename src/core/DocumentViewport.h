#pragma once

#include "core/Geometry.h"

#include <optional>

namespace vorlith {

// Shows a rectangle of a document on screen at one uniform zoom: documentRect's minimum corner
// lands on screenOrigin and every document point covers scale screen points. Pinned images
// place, pan and zoom through it. make() is the only way to build one, so every viewport has a
// finite, positive rectangle and scale and a finite screen extent.
class DocumentViewport {
public:
    static std::optional<DocumentViewport> make(const Rect& documentRect, const Point& screenOrigin, double scale);

    const Rect& documentRect() const { return m_documentRect; }
    const Point& screenOrigin() const { return m_screenOrigin; }
    double scale() const { return m_scale; }

    friend bool operator==(const DocumentViewport&, const DocumentViewport&) = default;

    // Where the whole document rectangle is shown.
    [[nodiscard]] Rect screenRect() const;
    [[nodiscard]] Point screenPoint(const Point& fromDocument) const;
    [[nodiscard]] Point documentPoint(const Point& fromScreen) const;
    [[nodiscard]] Rect screenRect(const Rect& fromDocument) const;
    [[nodiscard]] Rect documentRect(const Rect& fromScreen) const;

    // The same document rectangle at scale, keeping the document point under aroundScreen fixed.
    std::optional<DocumentViewport> scaled(double scale, const Point& aroundScreen) const;
    std::optional<DocumentViewport> replacingDocumentRect(const Rect& documentRect) const;

private:
    DocumentViewport(const Rect& documentRect, const Point& screenOrigin, double scale)
        : m_documentRect(documentRect), m_screenOrigin(screenOrigin), m_scale(scale)
    {
    }

    Rect m_documentRect;
    Point m_screenOrigin;
    double m_scale;
};

} // namespace vorlith
