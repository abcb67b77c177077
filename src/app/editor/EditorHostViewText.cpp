// EditorHostView: text entry. Typing into a text box over the capture opens with the text
// tool; until it exists no text box is ever open, so committing open text always succeeds.
#include "app/editor/EditorHostView.h"

#include "app/editor/EditorDocument.h"
#include "app/editor/TextMarkCommit.h"
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

// Until text entry exists no text box opens: these have nothing to act on but the marks.
void EditorHostView::cancelText()
{
    if (!m_text.textEditor)
        return;
    m_text.textEditor->deleteLater();
    m_text.textEditor = nullptr;
    m_text.textScroll = nullptr;
    m_text.editingID.reset();
    restoreContent();
    setFocus(Qt::OtherFocusReason);
}

void EditorHostView::resizeTextMark(int index)
{
    std::vector<Annotation> marks = m_record->session.annotations();
    Q_ASSERT(index >= 0 && size_t(index) < marks.size());
    if (index < 0 || size_t(index) >= marks.size())
        return;
    Annotation& mark = marks[size_t(index)];
    mark.points = TextMarkCommit::boxPoints(mark.text, mark.bounds().origin, mark.style.fontSize);
    m_record->session.setAnnotations(std::move(marks));
}

void EditorHostView::applyTextParagraph(const AnnotationStyle& style)
{
    Q_UNUSED(style);
}

void EditorHostView::layoutTextEditor()
{
}

} // namespace vorlith
