// EditorHostView: text entry. A text mark is typed in a small editor floating over the
// picture where the text starts (TextEntryLayout says where it stands, pulled in from the
// edges and clear of the toolbar); committing turns its text into a text mark through the
// memory gate (TextMarkCommit), cancelling puts the marks back as they were. The editor's
// font, lines and insets are the renderer's, scaled by the view's zoom, so the committed mark
// lands on the pixels the editor showed.
#include "rendering/AnnotationRenderer.h"

#include "app/editor/EditorHostView.h"
#include "app/editor/KeyWindow.h"

#include "app/editor/CaptureTextView.h"
#include "app/editor/EditorDocument.h"
#include "app/editor/TextEntryLayout.h"
#include "app/editor/TextMarkCommit.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/ToolProperties.h"
#include "app/output/OutputService.h"

#include <QLabel>

namespace vorlith {

CaptureTextView* EditorHostView::textEditor() const
{
    return m_text.textEditor;
}

AnnotationStyle EditorHostView::textStyle() const
{
    return m_record->styles.value(CaptureTool::text, EditorDocument::defaultStyle(CaptureTool::text));
}

void EditorHostView::beginText(const Point& at, const std::optional<Annotation>& mark)
{
    EditorDocument& record = *m_record;
    record.session.beginEdit(EditorSession::EditKind::text);
    record.tool = CaptureTool::text;
    m_chrome.propertiesOpen = true;
    m_text.textOrigin = at;
    m_text.shownOrigin.reset();
    m_text.editingID = mark ? std::optional(mark->id) : std::nullopt;
    if (mark) {
        record.styles.insert(CaptureTool::text, mark->style);
        record.selectedMarkID = mark->id;
    }
    const AnnotationStyle style = textStyle();

    auto* editor = new CaptureTextView(this);
    editor->setTextStyle(style);
    editor->setScale(viewScale());
    editor->setText(mark ? mark->text : QString());
    const Size size = TextEntryLayout::initialSize(bounds(), at, mark ? std::optional(mark->bounds()) : std::nullopt);
    editor->setGeometry(toQRectF(toView(Rect(at, size))).toRect());
    editor->onCancel = [self = QPointer<EditorHostView>(this)] {
        if (self)
            self->cancelText();
    };
    editor->onTextChanged = [self = QPointer<EditorHostView>(this)] {
        if (self)
            self->textDidChange();
    };
    m_text.textEditor = editor;
    m_text.textScroll = editor;
    applyTextParagraph(*editor, style.fontSize);
    layoutTextEditor();
    editor->show();
    editor->raise();
    // Child widgets added later (the loupe, the feedback) stay above the editor.
    m_chrome.feedback->raise();
    if (!renderMarks()) // the edited mark leaves the picture: the editor shows it now
        return;
    makeKeyWindow(this);
    editor->setFocus(Qt::OtherFocusReason);
    editor->moveCursor(QTextCursor::End);
}

void EditorHostView::applyTextParagraph(CaptureTextView& textView, double fontSize)
{
    // The editor fixes its lines at ceil(1.35 × size), as the renderer draws them.
    AnnotationStyle style = textView.textStyle();
    style.fontSize = fontSize;
    textView.setTextStyle(style);
}

void EditorHostView::textDidChange()
{
    if (!m_text.textEditor)
        return;
    m_text.textEditor->viewport()->update();
    layoutTextEditor();
    positionShadows();
    if (m_isPinned)
        notify(onPositionChrome, *this);
}

void EditorHostView::layoutTextEditor()
{
    CaptureTextView* editor = m_text.textEditor;
    if (!editor || !m_text.textScroll)
        return;
    const double s = viewScale();
    editor->setScale(s);
    TextEntryLayout::Input input;
    input.bounds = bounds();
    input.scale = s;
    input.textOrigin = m_text.textOrigin;
    // In a pin a new text moves in as it grows (it is committed where it is shown); an edited
    // mark stays where it stands.
    input.keepWholeText = m_isPinned && !m_text.editingID;
    // The composition counts: the editor grows while the user composes.
    input.textBox = AnnotationRenderer::textBounds(editor->displayedText(), Point{}, textStyle().fontSize).size;
    if (window() && m_chrome.toolbar->isVisible())
        input.toolbar = toRect(documentToView().inverted().mapRect(toQRectF(toolbarFrameInView())));
    const Rect frame = TextEntryLayout::layout(input).frame;
    const QRect shown = toQRectF(toView(frame)).toRect();
    if (editor->geometry() != shown)
        editor->setGeometry(shown);
    // Where the text box really starts on screen, back in document points: a new text is
    // committed exactly there.
    m_text.shownOrigin = toPoint(documentToView().inverted().map(QPointF(shown.topLeft())));
}

bool EditorHostView::commitText()
{
    CaptureTextView* editor = m_text.textEditor;
    if (!editor)
        return true;
    editor->unmarkText();
    editor->viewport()->update();
    EditorDocument& record = *m_record;
    EditorSession copy = record.session;
    TextMarkCommit::Result result = TextMarkCommit::apply(TextMarkCommit::Input{
        .marks = copy.annotations(),
        .editingID = m_text.editingID,
        .text = editor->text(),
        .textOrigin = m_text.textOrigin,
        .shownOrigin = m_text.shownOrigin,
        .style = textStyle(),
        .selectedMarkID = record.selectedMarkID,
    });
    copy.setAnnotations(std::move(result.marks));
    bool accepted = copy.commit();
    if (accepted && record.canCommitSession) {
        const QPointer<EditorHostView> self(this);
        accepted = record.canCommitSession(copy);
        if (!self)
            return false;
    }
    if (!accepted) {
        const QPointer<CaptureTextView> kept(editor);
        showFeedback(QStringLiteral("内存预算不足，文字输入已保留，请缩短内容或关闭其他贴图后重试。"));
        if (kept)
            kept->setFocus(Qt::OtherFocusReason);
        return false;
    }
    record.session = std::move(copy);
    record.selectedMarkID = result.selectedMarkID;
    closeTextEditor();
    if (renderMarks())
        notify(onContentChanged);
    return true;
}

void EditorHostView::cancelText()
{
    if (!m_text.textEditor)
        return;
    closeTextEditor();
    restoreContent();
}

void EditorHostView::closeTextEditor()
{
    // The editor may be inside its own key handler (Esc): it goes later.
    if (CaptureTextView* editor = m_text.textEditor) {
        editor->onCancel = {};
        editor->onTextChanged = {};
        editor->hide();
        editor->deleteLater();
    }
    m_text.textEditor = nullptr;
    m_text.textScroll = nullptr;
    m_text.editingID.reset();
    m_text.shownOrigin.reset();
    setFocus(Qt::OtherFocusReason);
}

void EditorHostView::resizeTextMark(size_t index)
{
    EditorSession& session = m_record->session;
    std::vector<Annotation> marks = session.annotations();
    Q_ASSERT(index < marks.size());
    if (index >= marks.size())
        return;
    Annotation& mark = marks[index];
    mark.points = TextMarkCommit::boxPoints(mark.text, mark.bounds().origin, mark.style.fontSize);
    session.setAnnotations(std::move(marks));
}

void EditorHostView::returnToCanvas()
{
    if (m_suspension.inputSuspended || outputBusy() || m_record->session.isOutputLocked())
        return;
    makeKeyWindow(this);
    if (m_text.textEditor)
        m_text.textEditor->setFocus(Qt::OtherFocusReason);
    else
        setFocus(Qt::OtherFocusReason);
}

} // namespace vorlith
