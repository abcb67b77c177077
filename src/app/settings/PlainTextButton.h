#pragma once

#include <QColor>
#include <QPushButton>

namespace vorlith {

// A borderless button that is only its title, centred, in `tint` (40 % when disabled):
// the settings window's "恢复默认". Keyboard focus by Tab shows the panel controls' ring.
class PlainTextButton : public QPushButton {
    Q_OBJECT
public:
    explicit PlainTextButton(const QString& title, const QColor& tint, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_tint;
};

} // namespace vorlith
