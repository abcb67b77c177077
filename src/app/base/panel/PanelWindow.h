#pragma once

#include <QLabel>
#include <QWidget>

namespace vorlith {

// The base of the light utility windows (About, update): a managed top-level with a title and
// a close button only, its body painted `panelBody`, and Escape (without modifiers) doing
// what `escape()` does, closing the window unless a subclass says otherwise.
class PanelWindow : public QWidget {
public:
    PanelWindow();

protected:
    virtual void escape() { close(); }
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

// A label of such a window: plain text (never markup) in the font and colour given.
[[nodiscard]] QLabel* makePanelLabel(QWidget* parent, const QString& text, const QFont& font, const QColor& color);

} // namespace vorlith
