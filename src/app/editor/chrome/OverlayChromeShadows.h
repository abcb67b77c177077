#pragma once

#include "app/base/ShadowPainter.h"
#include "core/Geometry.h"

#include <QColor>
#include <QWidget>

#include <vector>

namespace vorlith {

// A full-size, click-through view that draws the soft drop shadows under the editor's floating
// parts (toolbar, text box, pill); the parts themselves carry none. Each item is one part's
// frame and corner radius with its stack of shadow layers. A positive offset moves a shadow
// down on screen.
class OverlayChromeShadows : public QWidget {
    Q_OBJECT
public:
    struct Layer {
        double offset = 0; // y, downwards
        double blur = 0;
        QColor color;
        friend bool operator==(const Layer&, const Layer&) = default;
    };
    struct Item {
        Rect frame;
        double radius = 0;
        std::vector<Layer> layers;
        friend bool operator==(const Item&, const Item&) = default;
    };

    explicit OverlayChromeShadows(QWidget* parent = nullptr);

    const std::vector<Item>& items() const { return m_items; }
    // A list equal to the current one changes nothing.
    void setItems(std::vector<Item> items);
    // How often the layers were replaced.
    int rebuilds() const { return m_rebuilds; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<Item> m_items;
    ShadowPainter m_painter;
    int m_rebuilds = 0;
};

} // namespace vorlith
