#pragma once

#include <QWidget>

#include <functional>

namespace vorlith {

// The rounded body of a pin's control strip; the parent of its action buttons.
class PinChromeSurface : public QWidget {
    Q_OBJECT
public:
    static constexpr double radius = 9;

    explicit PinChromeSurface(QWidget* parent = nullptr);

    // The pointer left the strip (the owner asks again whether it is over the pin).
    std::function<void()> onPointerExit;

    // The rounded body, for a mask when translucent margins cannot be composited.
    QRegion bodyRegion() const;
    // Without a compositor every pixel inside the mask is shown as it is: the body is then
    // drawn opaque and without antialiased edges, exactly inside `bodyRegion()`.
    bool translucent = true;

protected:
    void paintEvent(QPaintEvent* event) override;
    void leaveEvent(QEvent* event) override;
};

} // namespace vorlith
