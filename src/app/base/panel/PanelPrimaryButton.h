#pragma once

#include <QPushButton>

namespace vorlith {

// The accent-filled button of a panel's main action ("保存设置"): `brand`, `brandPressed`
// while down, `brandDisabled` when disabled, radius 7, its title in the semibold weight of its
// font's size, centred, never truncated. Keyboard focus comes by Tab only (ring radius 7).
class PanelPrimaryButton : public QPushButton {
    Q_OBJECT
public:
    explicit PanelPrimaryButton(const QString& title = {}, QWidget* parent = nullptr);

    // The fill for the current state.
    [[nodiscard]] QColor fillColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vorlith
