#include "app/editor/CaptureTextView.h"

#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"
#include "app/editor/EditorDocument.h"
#include "rendering/AnnotationRenderer.h"
#include "rendering/Bitmap.h"
#include "rendering/FontFactory.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace vorlith {

const QString CaptureTextView::placeholder = QStringLiteral("Enter 回车换行");

namespace {

bool isReturn(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// The distance between tab stops in a drawn text mark, in document points: the advance of a
// tab at the start of a line, measured as the renderer measures.
double renderedTabInterval(double textSize)
{
    return FontFactory::designMetrics(FontFactory::textFont(textSize, Bitmap::designDpi))
        .horizontalAdvance(QStringLiteral("\t")); // a string: the QChar overload gives the glyph's advance
}

} // namespace

CaptureTextView::CaptureTextView(QWidget* parent)
    : QTextEdit(parent), m_style(EditorDocument::defaultStyle(CaptureTool::text))
{
    setAcceptRichText(false);
    setUndoRedoEnabled(true);
    setLineWrapMode(QTextEdit::NoWrap);
    setWordWrapMode(QTextOption::NoWrap);
    setFrameShape(QFrame::NoFrame);
    // The editor is as large as its text allows; where the view's edge cuts it, the text
    // scrolls with the insertion point instead of showing bars.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    document()->setDocumentMargin(0);
    // The box is painted here, rounded; the corners outside it show the picture beneath.
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    connect(this, &QTextEdit::textChanged, this, &CaptureTextView::textDidChange);
    applyFormats();
}

void CaptureTextView::setTextStyle(const AnnotationStyle& style)
{
    m_style = style;
    applyFormats();
}

void CaptureTextView::setScale(double scale)
{
    Q_ASSERT(std::isfinite(scale) && scale > 0);
    if (!(std::isfinite(scale) && scale > 0) || scale == m_scale)
        return;
    m_scale = scale;
    applyFormats();
}

QFont CaptureTextView::textFont() const
{
    return FontFactory::textFont(FontFactory::textSize(m_style.fontSize) * m_scale, logicalDpiY());
}

double CaptureTextView::lineHeight() const
{
    return std::ceil(FontFactory::textSize(m_style.fontSize) * 1.35) * m_scale;
}

QString CaptureTextView::text() const
{
    return toPlainText();
}

void CaptureTextView::setText(const QString& text)
{
    if (hasMarkedText())
        QGuiApplication::inputMethod()->reset(); // the composition goes with the old text
    setPlainText(AnnotationRenderer::normalizedNewlines(text));
    applyFormats();
    moveCursor(QTextCursor::End);
}

QString CaptureTextView::markedText() const
{
    const QTextBlock block = textCursor().block();
    return block.isValid() && block.layout() ? block.layout()->preeditAreaText() : QString();
}

QString CaptureTextView::displayedText() const
{
    QString shown = toPlainText();
    const QTextBlock block = textCursor().block();
    const QString preedit = markedText();
    if (!preedit.isEmpty()) {
        const qsizetype at = block.position() + block.layout()->preeditAreaPosition();
        shown.insert(std::clamp<qsizetype>(at, 0, shown.size()), preedit);
    }
    return shown;
}

bool CaptureTextView::showsPlaceholder() const
{
    return !hasMarkedText() && document()->isEmpty();
}

void CaptureTextView::unmarkText()
{
    const QString composed = markedText();
    if (composed.isEmpty())
        return;
    // A running input method commits its composition through an input-method event.
    QGuiApplication::inputMethod()->commit();
    if (!hasMarkedText())
        return;
    // Nobody answered: keep what was composed, then tell the input method it is over.
    QInputMethodEvent commit;
    commit.setCommitString(composed);
    inputMethodEvent(&commit);
    QGuiApplication::inputMethod()->reset();
}

// Font, colour, line height and insets of the whole text. Qt records format changes as edits,
// so they are applied outside the undo history, which restarts: a restyle or zoom while
// typing is not something to undo, and undoing the typing across it would restore stale
// line heights.
void CaptureTextView::applyFormats()
{
    const QFont font = textFont();
    setFont(font);
    document()->setDefaultFont(font);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::transparent);
    colours.setColor(QPalette::Text, AnnotationRenderer::drawnColor(m_style.color));
    setPalette(colours);
    setCursorWidth(std::max(1, int(std::lround(m_scale))));
    // Qt's tab stops depend on the device's dpi; the editor's follow the drawn mark's.
    QTextOption option = document()->defaultTextOption();
    option.setTabStopDistance(renderedTabInterval(FontFactory::textSize(m_style.fontSize)) * m_scale);
    document()->setDefaultTextOption(option);

    const bool undo = document()->isUndoRedoEnabled();
    document()->setUndoRedoEnabled(false);
    QTextBlockFormat paragraph;
    paragraph.setLineHeight(lineHeight(), QTextBlockFormat::FixedHeight);
    QTextCursor all(document());
    all.select(QTextCursor::Document);
    all.mergeBlockFormat(paragraph);
    QTextCursor typing = textCursor();
    typing.mergeBlockFormat(paragraph);
    alignBaselines();
    document()->setUndoRedoEnabled(undo);
    viewport()->update();
}

// Qt puts the baseline of a fixed-height line four fifths down the line; the renderer puts
// each line in the middle of its slot. The difference, the same for every line of one font,
// moves the whole text through the top inset.
void CaptureTextView::alignBaselines()
{
    const QTextBlock first = document()->firstBlock();
    document()->documentLayout()->blockBoundingRect(first); // lays the block out
    const QTextLayout* layout = first.layout();
    const double height = lineHeight();
    double qtBaseline = height * 4 / 5;
    if (layout && layout->lineCount() > 0) {
        const QTextLine line = layout->lineAt(0);
        qtBaseline = line.y() + line.ascent();
    }
    const QFontMetricsF metrics(textFont(), this);
    const double wanted = (height - metrics.ascent() - metrics.descent()) / 2 + metrics.ascent();

    QTextFrameFormat frame = document()->rootFrame()->frameFormat();
    frame.setLeftMargin(insetX * m_scale);
    frame.setRightMargin(insetX * m_scale);
    frame.setTopMargin(insetY * m_scale + wanted - qtBaseline);
    frame.setBottomMargin(insetY * m_scale);
    document()->rootFrame()->setFrameFormat(frame);
}

bool CaptureTextView::event(QEvent* event)
{
    // Esc and Return belong to the text while it is edited, not to shortcuts of the window.
    if (event->type() == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape || isReturn(key)) {
            event->accept();
            return true;
        }
    }
    return QTextEdit::event(event);
}

void CaptureTextView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && !hasMarkedText()) {
        event->accept();
        if (onCancel)
            onCancel(); // may end this view's use: nothing follows
        return;
    }
    if (isReturn(event->key()) && !hasMarkedText() && !isReadOnly()
        && !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
        // Qt's own Return on an empty line whose block format is not the default (our fixed
        // line height) only resets that format and inserts nothing: a second Return would
        // be lost. A new line keeps the line height.
        QTextCursor cursor = textCursor();
        cursor.insertBlock(cursor.blockFormat(), cursor.charFormat());
        setTextCursor(cursor);
        ensureCursorVisible();
        event->accept();
        return;
    }
    QTextEdit::keyPressEvent(event);
    // Keys the text does not use stop here too: the editor beneath would act on them (Esc
    // during a composition would leave the editor, Return would copy).
    event->accept();
}

void CaptureTextView::inputMethodEvent(QInputMethodEvent* event)
{
    const QString before = markedText();
    QTextEdit::inputMethodEvent(event);
    if (markedText() != before)
        textDidChange(); // the placeholder shows or hides, the editor grows with the composition
}

void CaptureTextView::insertFromMimeData(const QMimeData* source)
{
    // Pasted CR LF would become two paragraphs; the mark draws it as one line break.
    if (source && source->hasText())
        insertPlainText(AnnotationRenderer::normalizedNewlines(source->text()));
}

void CaptureTextView::scrollContentsBy(int dx, int dy)
{
    QTextEdit::scrollContentsBy(dx, dy);
    // The box and its border stand still while the text scrolls: repaint, do not shift pixels.
    viewport()->update();
}

void CaptureTextView::paintEvent(QPaintEvent* event)
{
    const QRectF box = QRectF(viewport()->rect());
    {
        QPainter painter(viewport());
        painter.setRenderHint(QPainter::Antialiasing);
        QColor body = InterfaceColors::white();
        body.setAlphaF(float(backgroundAlpha));
        painter.setPen(Qt::NoPen);
        painter.setBrush(body);
        painter.drawRoundedRect(box, cornerRadius, cornerRadius);
    }
    QTextEdit::paintEvent(event);

    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    if (showsPlaceholder()) {
        painter.setFont(InterfaceFonts::system(placeholderSize * m_scale));
        painter.setPen(InterfaceColors::secondary());
        painter.drawText(QRectF(insetX * m_scale, insetY * m_scale, box.width(), box.height()),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, placeholder);
    }
    const double half = borderWidth / 2;
    painter.setPen(QPen(InterfaceColors::fieldBorder(), borderWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(box.adjusted(half, half, -half, -half), cornerRadius - half, cornerRadius - half);
}

void CaptureTextView::textDidChange()
{
    viewport()->update();
    if (onTextChanged)
        onTextChanged();
}

} // namespace vorlith
