#pragma once

#include "core/Annotation.h"

#include <QString>
#include <QTextEdit>

#include <functional>

namespace vorlith {

// The floating editor a text mark is typed in: plain text, no wrapping, undo, the text tool's
// font and colour, a light rounded box with a thin border, and its own placeholder while it is
// empty. It holds no document: its owner places it, reads its text and commits it.
//
// Text is laid out exactly as the renderer draws a text mark (rendering/AnnotationRenderer):
// the same font at the same size, lines of ceil(1.35 × size), each line in the middle of its
// slot, starting at the same inset, so the committed mark lands on the pixels shown while
// typing. `setScale` makes it follow a magnified view (a zoomed pin): font, inset, line height
// and placeholder grow with the view, while the border stays 1 and the corners 4 view pixels,
// as the rest of the editor's chrome does.
//
// Input methods: a composition (preedit) shows in the text but is not part of `text()` until
// it is committed; `displayedText()` includes it, for measuring while the user composes.
class CaptureTextView : public QTextEdit {
    Q_OBJECT
public:
    static const QString placeholder; // "Enter 回车换行"
    // Space between the box's edge and its text, in document points (the renderer's inset).
    static constexpr double insetX = 6;
    static constexpr double insetY = 4;
    static constexpr double placeholderSize = 12;
    static constexpr double backgroundAlpha = 0.96;
    // In view pixels, at any scale.
    static constexpr double borderWidth = 1;
    static constexpr double cornerRadius = 4;

    explicit CaptureTextView(QWidget* parent = nullptr);

    // Esc without a composition in progress; the key is consumed also when this is absent.
    std::function<void()> onCancel;
    // The text or the composition changed: the owner lays the editor out again.
    std::function<void()> onTextChanged;

    // The text tool's style: its font size and colour are used.
    void setTextStyle(const AnnotationStyle& style);
    const AnnotationStyle& textStyle() const { return m_style; }
    // Document-to-view factor of the view the editor floats over; finite and above 0.
    void setScale(double scale);
    double scale() const { return m_scale; }

    // The committed text (line breaks as LF), without any composition in progress.
    QString text() const;
    // Replaces the text (line breaks normalised) and puts the insertion point at its end.
    // Drops any composition and clears the undo history: the starting text is not an edit.
    void setText(const QString& text);
    // The text as shown: with the composition in progress at the insertion point.
    QString displayedText() const;

    // A composition (preedit) is in progress.
    bool hasMarkedText() const { return !markedText().isEmpty(); }
    // The composition in progress, as the text layout holds it.
    QString markedText() const;
    // Ends any composition, keeping what was composed as text.
    void unmarkText();
    // The placeholder is drawn: empty text and no composition.
    bool showsPlaceholder() const;

    // The font the text is shown in (the renderer's text font at size × scale, for this widget).
    QFont textFont() const;
    // One line of text in view pixels: ceil(1.35 × size) × scale.
    double lineHeight() const;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    void applyFormats();
    void alignBaselines();
    void textDidChange();

    AnnotationStyle m_style;
    double m_scale = 1;
};

} // namespace vorlith
