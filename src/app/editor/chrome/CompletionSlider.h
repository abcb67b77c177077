#pragma once

#include "app/base/ShadowPainter.h"

#include <QAbstractSlider>

#include <functional>

namespace vorlith {

// The strip's thin slider (opacity, mosaic grain). Its action runs on every change while it is
// dragged; onFinish runs once when the gesture ends: on release, after an arrow key, and also
// when the release is lost (the slider hidden or disabled mid-drag, the grab broken), so the
// owner always commits.
class CompletionSlider : public QAbstractSlider {
    Q_OBJECT
public:
    explicit CompletionSlider(QWidget* parent = nullptr);

    // The action: every value the user sets, also one that equals the last.
    std::function<void()> onAction;
    std::function<void()> onFinish;

    bool tracking() const { return m_tracking; }
    // The knob's centre for the current value, in the slider's coordinates.
    [[nodiscard]] double knobMidX() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void track(double x);
    void finishGesture();

    ShadowPainter m_shadows;
    bool m_tracking = false;
};

} // namespace vorlith
