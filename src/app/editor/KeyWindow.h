#pragma once

class QWidget;

namespace vorlith {

// Gives the keyboard to the top-level window of `widget`, unless it already has it. A capture
// overlay is asked through its own helper, which refuses while the overlay takes no capture
// input; any other window is activated. Answers whether the window has the keyboard (or was
// asked for it).
bool makeKeyWindow(QWidget* widget);

} // namespace vorlith
