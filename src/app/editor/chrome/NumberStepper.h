#pragma once

#include <QTimer>
#include <QWidget>

#include <functional>

namespace vorlith {

// The up/down stepper beside a strip field. Holding an arrow repeats. Before it acts on a click
// or a key it asks beforeInteraction; a false answer drops the event, so the stepper neither
// changes nor sends its action.
class NumberStepper : public QWidget {
    Q_OBJECT
public:
    explicit NumberStepper(QWidget* parent = nullptr);

    static constexpr int repeatDelayMs = 400;
    static constexpr int repeatIntervalMs = 60;

    std::function<bool()> beforeInteraction;
    // The action, after every step (also one clamped at a bound).
    std::function<void()> onAction;
    // The keyboard came or went (the strip draws the focus ring around the field's box).
    std::function<void()> onFocusChanged;

    int tag = -1;
    double minimum = 0;
    double maximum = 100;
    double increment = 1;
    bool autorepeat = true;

    double value() const { return m_value; }
    void setValue(double value);
    bool repeating() const { return m_repeat.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool allowed();
    void step();

    double m_value = 0;
    int m_direction = 0;
    QTimer m_repeat;
};

} // namespace vorlith
