#pragma once

#include "core/Annotation.h"
#include "core/CaptureGeometry.h"
#include "core/Geometry.h"

#include <optional>
#include <variant>

namespace vorlith {

// The press in progress in an editor view. Every case but a pin move opens a gesture edit on
// the document's session when it is set; the pointer handling closes it.
namespace gesture {

struct PinMove {
    Point start;
};
struct Select {
    Point start;
    std::optional<Rect> selection;
};
struct Move {
    Point start;
    Rect selection;
};
struct Resize {
    SelectionHandle handle;
    Rect selection;
};
struct Draw {
    Annotation mark;
};
struct MarkMove {
    Point start;
    Annotation mark;
};
struct MarkResize {
    SelectionHandle handle;
    Annotation mark;
    Point grabOffset; // the press point minus the handle's point on the mark's bounds
};
struct Endpoint {
    int index = 0;
    Annotation mark;
};

} // namespace gesture

using EditorGesture = std::variant<gesture::PinMove, gesture::Select, gesture::Move, gesture::Resize, gesture::Draw,
                                   gesture::MarkMove, gesture::MarkResize, gesture::Endpoint>;

} // namespace vorlith
