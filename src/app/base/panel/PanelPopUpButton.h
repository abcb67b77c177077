#pragma once

#include <QComboBox>

namespace vorlith {

// A pop-up menu button in the secondary look: the selected item's title at the left (12-pixel
// interface font by default, truncated in the middle, never under the chevron) and an up-and-
// down chevron at the right. The items and the selection are the QComboBox's own; the button
// shows pressed while its menu is open.
class PanelPopUpButton : public QComboBox {
    Q_OBJECT
public:
    explicit PanelPopUpButton(QWidget* parent = nullptr);

    void showPopup() override;
    void hidePopup() override;

    [[nodiscard]] bool isHighlighted() const { return m_highlighted; }
    // The rectangle the title is drawn in (x 10, width − 34, as high as the title).
    [[nodiscard]] QRectF titleRect() const;
    // The chevron's 14 × 14 box.
    [[nodiscard]] QRectF chevronRect() const;
    [[nodiscard]] QString displayedTitle() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_highlighted = false;
};

} // namespace vorlith
