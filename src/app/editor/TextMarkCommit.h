#pragma once

#include "core/Annotation.h"
#include "core/Geometry.h"

#include <QString>
#include <QUuid>

#include <optional>
#include <vector>

namespace vorlith {

// What committing the typed text does to a document's marks. Pure: no session, no view.
//
// The text is normalised (CR LF and CR become LF) and kept as typed; only the test for an
// empty text ignores surrounding whitespace and line breaks. A text with content becomes a
// text mark whose points span its box: an edited mark is replaced where it stands in the
// stacking order (keeping its id), a new text goes on top, and it becomes the selected mark.
// An empty text removes the edited mark and clears the selection; an empty new text changes
// nothing.
struct TextMarkCommit {
    TextMarkCommit() = delete;

    struct Input {
        std::vector<Annotation> marks;
        std::optional<QUuid> editingID; // the text mark being edited; absent for a new text
        QString text;                   // the editor's text as typed
        Point textOrigin;               // where the text was begun
        // Where the editor showed the text box (the layout's origin). A new text begun near
        // an edge is shown pulled inward, and it is committed where it was shown.
        std::optional<Point> shownOrigin;
        AnnotationStyle style; // the text tool's style
        std::optional<QUuid> selectedMarkID;
    };

    struct Result {
        std::vector<Annotation> marks;
        std::optional<QUuid> selectedMarkID;
    };

    [[nodiscard]] static Result apply(Input input);

    // The top-left corner the committed box starts at: an edited mark stays where it was
    // begun, a new text goes where it was shown.
    [[nodiscard]] static Point commitOrigin(const Input& input);

    // A text mark's points for its text at `origin`: the box's top-left and bottom-right
    // corners, the box measured as the renderer draws it. Also what a restyled mark refits to.
    [[nodiscard]] static std::vector<Point> boxPoints(const QString& text, Point origin, double fontSize);
};

} // namespace vorlith
