#pragma once

#include "core/Annotation.h"
#include "core/CaptureContent.h"
#include "core/Geometry.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vorlith {

// One step of a document's history: the positional difference between two contents. It can
// be applied forwards (redo) to the content it was made from, or backwards (undo) to the
// content it leads to. Marks are matched by position, not by id, and only the positions whose
// mark differs are stored, so moving one mark among hundreds keeps one mark, not the list.
struct ContentChange {
    struct MarkChange {
        std::size_t index = 0;
        std::optional<Annotation> before; // absent when the list was shorter
        std::optional<Annotation> after;  // absent when the list became shorter

        friend bool operator==(const MarkChange&, const MarkChange&) = default;
    };

    Rect beforeSelection;
    Rect afterSelection;
    std::optional<int> beforeNextNumber;
    std::optional<int> afterNextNumber;
    std::size_t beforeCount = 0;
    std::size_t afterCount = 0;
    std::vector<MarkChange> marks; // ascending index order

    ContentChange() = default;
    ContentChange(const CaptureContent& before, const CaptureContent& after);

    friend bool operator==(const ContentChange&, const ContentChange&) = default;

    // The content at the other end of the step: after (forward) or before. The content must be
    // the one at the matching end; when it is too short for the step, that is a programming
    // error: debug builds stop, release builds return the content unchanged.
    [[nodiscard]] CaptureContent applying(const CaptureContent& content, bool forward) const;

    bool changesMarks() const { return !marks.empty(); }

    // 128 + per mark change 32 + the estimates of the marks it holds.
    std::int64_t estimatedBytes() const;
};

} // namespace vorlith
