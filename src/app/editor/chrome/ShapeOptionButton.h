#pragma once

#include "core/Annotation.h"

#include <QAbstractButton>
#include <QString>

namespace vorlith {

// One shape choice of the property strip: the shape's icon, on a tinted background when
// selected or hovered.
class ShapeOptionButton : public QAbstractButton {
    Q_OBJECT
public:
    ShapeOptionButton(Annotation::Kind kind, const QString& iconName, QWidget* parent = nullptr);

    const Annotation::Kind kind;
    const QString iconName;

    bool selected() const { return m_selected; }
    void setSelected(bool selected);
    bool hovered() const { return m_hovered; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_selected = false;
    bool m_hovered = false;
};

} // namespace vorlith
