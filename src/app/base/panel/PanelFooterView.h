#pragma once

#include <QColor>
#include <QWidget>

namespace vorlith {

// The bar along a window's bottom edge that carries its buttons: filled with `fillColor`
// (`settingsFooter` unless the owner replaces it) with a 0.5-high `groupBorder` hairline
// along its top edge, inside its bounds.
class PanelFooterView : public QWidget {
    Q_OBJECT
public:
    explicit PanelFooterView(QWidget* parent = nullptr);

    [[nodiscard]] QColor fillColor() const { return m_fillColor; }
    void setFillColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fillColor;
};

} // namespace vorlith
