#pragma once

#include "app/pins/PinPointerTarget.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace vorlith {

// The content of one of a pin's eight resize panels: nearly invisible (white at 0.01, so the
// window is hit where it is drawn) and handing every pointer event to the pin's content view,
// which picks the handle from the global position. The pointer leaving is not forwarded: the
// owner asks again whether the pointer is over the pin (`onPointerExit`).
class PinResizeView : public QWidget {
    Q_OBJECT
public:
    explicit PinResizeView(QWidget* parent = nullptr);

    // Held weakly: `object` is the target's QObject; once it is gone nothing is forwarded.
    void setTarget(QObject* object, PinPointerTarget* target);
    PinPointerTarget* target() const { return m_object ? m_target : nullptr; }
    std::function<void()> onPointerExit;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void forward(void (PinPointerTarget::*handler)(const PinPointer&), const PinPointer& pointer);

    QPointer<QObject> m_object;
    PinPointerTarget* m_target = nullptr;
};

} // namespace vorlith
