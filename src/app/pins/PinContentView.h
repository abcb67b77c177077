#pragma once

#include "app/pins/PinPointerTarget.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace vorlith {

class PinWindowController;

// The content of a pin's image window: the parent of the pin's editor view, with rounded
// corners. Pointer events that reach the resize panels around the image come here through
// `PinPointerTarget`; what a press, drag or move does is set by the pin's pointer handling
// (the `on…` members), and the cursor it picks is shown over the panels too.
class PinContentView : public QWidget, public PinPointerTarget {
    Q_OBJECT
public:
    static constexpr double cornerRadius = 8;

    explicit PinContentView(QWidget* parent = nullptr);

    QPointer<PinWindowController> controller;

    std::function<void(const PinPointer&)> onMouseMoved;
    std::function<void(const PinPointer&)> onMouseDown;
    std::function<void(const PinPointer&)> onMouseDragged;
    std::function<void(const PinPointer&)> onMouseUp;

    void pinMouseMoved(const PinPointer& pointer) override;
    void pinMouseDown(const PinPointer& pointer) override;
    void pinMouseDragged(const PinPointer& pointer) override;
    void pinMouseUp(const PinPointer& pointer) override;
    QCursor pinCursor() const override { return cursor(); }

    // The rounded body of a window of this size.
    [[nodiscard]] static QRegion roundedRegion(const QSize& size);
};

} // namespace vorlith
