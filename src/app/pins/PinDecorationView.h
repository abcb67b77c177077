#pragma once

#include "app/base/ShadowPainter.h"
#include "core/Geometry.h"

#include <QRegion>
#include <QWidget>

#include <array>
#include <optional>

namespace vorlith {

// The ring around a pin's image: its soft shadow, the border and the corner handles, and the
// white backing of the editor's text box where it sticks out of the image. The view is the
// image grown by `inset` on every side; it never takes a click (its window lets them through).
// Fields have no observers: whoever changes them calls update().
class PinDecorationView : public QWidget {
    Q_OBJECT
public:
    static constexpr double inset = 44;
    static constexpr double cardRadius = 8;
    static constexpr double handleSize = 12;

    explicit PinDecorationView(QWidget* parent = nullptr);

    bool editing = false;
    bool hovered = false; // chooses the border colour
    bool active = true;   // border and handles shown
    // The open text box, in this view's coordinates, while the pin is edited.
    std::optional<Rect> textInputFrame;
    // Without a compositor the shadows would be black: only border and handles are drawn.
    bool shadowsShown = true;

    QRectF card() const;
    // What the view draws without a compositor, all of it opaque: a border one point wide
    // just outside the image and square handles (empty when neither shows). The ring's window
    // is masked to it then.
    QRegion solidRegion() const;
    // The painter of the shadows, shared by every ring (a zoom reuses its blurred square).
    static ShadowPainter& shadowPainter();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor borderColor() const;
    void paintShadows(QPainter& painter);
    void paintSolid(QPainter& painter);
    QRegion outlineRegion() const;
    std::array<QRectF, 4> handleSquares() const;
};

} // namespace vorlith
