#pragma once

#include "core/Geometry.h"

#include <QWidget>

#include <vector>

namespace vorlith {

// The scrolling body of the settings window. Its group boxes (white, radius 9, a 0.5-wide
// `groupBorder` outline) and the 0.5-high row separators are not widgets: they are y-up
// frames painted here, since a widget is whole pixels.
class SettingsBody : public QWidget {
    Q_OBJECT
public:
    explicit SettingsBody(QWidget* parent = nullptr);

    std::vector<Rect> boxes;
    std::vector<Rect> separators;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vorlith
