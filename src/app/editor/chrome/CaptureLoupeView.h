#pragma once

#include "app/editor/chrome/FloatingSurface.h"
#include "app/editor/chrome/LoupeSampling.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <optional>

namespace vorlith {

struct LoupeSample;

// The magnifier that follows the pointer before a selection exists: the pixels around the
// pointer enlarged with a pixel grid and a crosshair, the colour under it as a swatch and a hex
// code, and a one-line hint. It never takes mouse events.
class CaptureLoupeView : public FloatingSurface {
    Q_OBJECT
public:
    explicit CaptureLoupeView(QWidget* parent = nullptr);

    static constexpr int loupeWidth = 182;
    static constexpr int loupeHeight = 176;
    // The image area inside the loupe.
    static QRectF imageArea() { return QRectF(1, 1, LoupeSampling::areaWidth, LoupeSampling::areaHeight); }

    QImage patch;
    std::optional<LoupeSampling> sampling;
    QString hex = QStringLiteral("#000000");
    QColor sampleColor = Qt::black;
    bool isDragging = false;

    // Takes a successful sample's patch, placement and colour.
    void showSample(const LoupeSample& sample, bool dragging);

    // The patch as drawn, with its pixel grid: enlarged to whole device pixels inside the
    // area, and where it goes.
    [[nodiscard]] static QImage magnifiedPatch(const QImage& patch, const QRectF& destination, const QRectF& area,
                                              const Size& cell, double ratio);
    [[nodiscard]] static QPointF enlargedOrigin(const QRectF& destination, const QRectF& area, double ratio);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintPatch(QPainter& painter) const;
};

} // namespace vorlith
