#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

namespace vorlith {

// A one-line, non-editable label of the property strip, drawn by hand. With monospaced digits
// (the slider's read-out) every digit sits on the widest digit's advance, so the number does
// not jitter while the slider moves.
class StripLabel : public QWidget {
    Q_OBJECT
public:
    StripLabel(const QString& text, const QFont& font, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    void setAlignRight(bool right);
    void setMonospacedDigits(bool monospaced);
    // The text's own width, before any padding.
    [[nodiscard]] double naturalWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QFont m_font;
    QColor m_color;
    bool m_alignRight = false;
    bool m_monospacedDigits = false;
};

} // namespace vorlith
