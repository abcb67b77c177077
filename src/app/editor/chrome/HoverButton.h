#pragma once

#include <QAbstractButton>

namespace vorlith {

// The base of the chrome's hand-drawn buttons: it never takes the keyboard focus, and it
// follows the pointer through hover events (hovered() and a repaint on entering and leaving).
class HoverButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit HoverButton(QWidget* parent = nullptr);

    bool hovered() const { return m_hovered; }

protected:
    bool event(QEvent* event) override;

private:
    bool m_hovered = false;
};

} // namespace vorlith
