#pragma once

#include <QRegion>
#include <QWidget>

#include <memory>

namespace vorlith {

class ShadowPainter;

// The content of a toast panel: the rounded body with two soft shadows and a thin border, in
// a panel 24 larger than the body on every side so the shadows have room.
//
// Without a compositor the panel is masked to the body and a one-pixel ring around it
// (`maskOutline`), and the shadows are left out, so the translucent margin never shows as
// black; the ring is drawn opaque inside the mask, so the toast keeps an edge over white
// content and its cut corners show the ring's colour, not the desktop's.
class OutputToastSurface : public QWidget {
    Q_OBJECT
public:
    explicit OutputToastSurface(std::shared_ptr<ShadowPainter> shadows, QWidget* parent = nullptr);

    bool failed = false;
    // Whether the shadows are drawn (a compositor blends them with what is below).
    bool drawsShadows = true;

    // The body's outline in the surface's coordinates.
    QRectF bodyRect() const;
    // The region a panel without a compositor keeps: the body grown by the one-pixel ring.
    [[nodiscard]] static QRegion maskOutline(const QRectF& body);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintWithoutCompositor(QPainter& painter);

    std::shared_ptr<ShadowPainter> m_shadows;
};

} // namespace vorlith
