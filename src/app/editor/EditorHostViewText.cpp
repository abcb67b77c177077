// EditorHostView: text entry. Typing into a text box over the capture opens with the text
// tool; until it exists no text box is ever open, so committing open text always succeeds.
#include "app/editor/EditorHostView.h"

#include "app/editor/EditorDocument.h"
#include "app/output/OutputService.h"

#include <QPlainTextEdit>

namespace vorlith {

bool EditorHostView::commitText()
{
    return !m_text.textEditor;
}

void EditorHostView::returnToCanvas()
{
    if (m_suspension.inputSuspended || outputBusy() || m_record->session.isOutputLocked())
        return;
    window()->activateWindow();
    if (m_text.textEditor)
        m_text.textEditor->setFocus(Qt::OtherFocusReason);
    else
        setFocus(Qt::OtherFocusReason);
}

} // namespace vorlith
