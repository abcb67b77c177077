#pragma once

#include "app/editor/chrome/HoverButton.h"
#include <QString>

#include <optional>

namespace vorlith {

// One button of the capture toolbar: an icon over a title, drawn by hand. Tool buttons also
// show their shortcut letter in the top-right corner, and the shape button a small chevron.
// It never takes the keyboard focus; the pointer's hover is followed through hover events.
class ToolButton : public HoverButton {
    Q_OBJECT
public:
    // `key` is the command key: a tool's raw value or "undo", "redo", "pin", "save", "copy",
    // "exit", "done".
    ToolButton(const QString& key, const QString& title, QWidget* parent = nullptr);

    static constexpr double buttonHeight = 47;

    const QString key;
    // Drawn instead of the key's own icon (the shape button shows the current shape).
    std::optional<QString> displayedIconName;

    bool chosen() const { return m_chosen; }
    void setChosen(bool chosen);
    bool primary() const { return m_primary; }
    void setPrimary(bool primary);

    // The icon's box, y-down, whole device pixels at the given ratio.
    [[nodiscard]] QRectF iconBox(double pixelRatio) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintTitle(QPainter& painter, const QColor& ink);
    void paintShortcut(QPainter& painter, double alpha);

    bool m_chosen = false;
    bool m_primary = false;
};

} // namespace vorlith
