#pragma once

#include "app/editor/chrome/HoverButton.h"

#include <QString>

namespace vorlith {

// One icon button of a pin's control strip: a 17-point icon centred on it, a rounded hover
// fill while enabled, the icon at 0.35 when disabled. Its name is its tool tip and
// accessible name. The owner sets the frame and connects `clicked`.
class PinActionButton : public HoverButton {
    Q_OBJECT
public:
    PinActionButton(const QString& icon, const QString& name, QWidget* parent = nullptr);

    static constexpr double iconSize = 17;

    const QString& icon() const { return m_icon; }
    // The edit button switches between "edit" and "check".
    void setIcon(const QString& icon);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;

private:
    QString m_icon;
};

} // namespace vorlith
