#pragma once

#include <QCursor>

namespace vorlith {

// The editor's own pointer shapes, each made once on first use and shared by every view: the
// pen (its tip is the hot spot) and the two-headed diagonal arrows of the corner handles,
// `diagonalDown` from top left to bottom right, `diagonalUp` from bottom left to top right.
namespace editorCursors {

const QCursor& penCursor();
const QCursor& diagonalDown();
const QCursor& diagonalUp();

} // namespace editorCursors

} // namespace vorlith
