#pragma once

#include "app/base/panel/SwitchPresentation.h"

#include <QAbstractButton>

#include <functional>

namespace vorlith {

// An on/off switch, 38 × 22: a rounded track, `brand` when on, with a white knob; the whole
// switch at 40 % when disabled.
//
// Its two enabled states: `presentation().isEnabled()` is how it looks and whether Qt lets it
// be clicked (it drives `setEnabled`); `acceptsUserChanges` decides whether a click or Space
// that reached it changes anything. An owner that enables or disables the switch sets both.
// A user change (click, Space) sets `presentation().isOn()` and then calls `onAction`;
// setting the state in code never calls it.
class BrandSwitch : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int fixedWidth = 38;
    static constexpr int fixedHeight = 22;

    explicit BrandSwitch(QWidget* parent = nullptr);

    SwitchPresentation& presentation() { return m_presentation; }
    const SwitchPresentation& presentation() const { return m_presentation; }

    bool acceptsUserChanges = true;
    // The action, told after a user change; the switch is the sender.
    std::function<void(BrandSwitch&)> onAction;

    // The label read by assistive technology (also the widget's accessible name).
    void setAccessibilityLabel(const QString& label);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void userChanged(bool on);
    void presentationChanged();

    SwitchPresentation m_presentation;
};

} // namespace vorlith
