// EditorHostView: keys, scrolling and leaving the editor.
#include "app/editor/EditorHostView.h"

namespace vorlith {

void EditorHostView::exitCapture()
{
    cancelHoverHint();
    notify(onExit);
}

} // namespace vorlith
