#pragma once

#include "core/Annotation.h"

#include "app/editor/chrome/HoverButton.h"

#include <QString>

namespace vorlith {

// One shape choice of the property strip: the shape's icon, on a tinted background when
// selected or hovered.
class ShapeOptionButton : public HoverButton {
    Q_OBJECT
public:
    ShapeOptionButton(Annotation::Kind kind, const QString& iconName, QWidget* parent = nullptr);

    const Annotation::Kind kind;
    const QString iconName;

    bool selected() const { return m_selected; }
    void setSelected(bool selected);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_selected = false;
};

} // namespace vorlith
