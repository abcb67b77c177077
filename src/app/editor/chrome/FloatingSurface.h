#pragma once

#include <QColor>
#include <QWidget>

namespace vorlith {

// The rounded, bordered base of the toolbar, the property strip and the loupe: a light body
// (`InterfaceColors::floatingBody`), corner radius 13 and a 1-wide border inside the edge in
// `InterfaceColors::floatingBorder`. It paints the same whatever the desktop theme.
//
// Children laid out y-up (UnflippedFrame) keep their distance from the bottom edge when the
// surface changes height.
class FloatingSurface : public QWidget {
    Q_OBJECT
public:
    explicit FloatingSurface(QWidget* parent = nullptr);

    static constexpr double defaultCornerRadius = 13;

    QColor bodyColor() const { return m_bodyColor; }
    void setBodyColor(const QColor& color);
    QColor borderColor() const { return m_borderColor; }
    void setBorderColor(const QColor& color);
    double borderWidth() const { return m_borderWidth; }
    void setBorderWidth(double width);
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The body and border; subclasses paint over it.
    void paintSurface(QPainter& painter) const;

private:
    QColor m_bodyColor;
    QColor m_borderColor;
    double m_borderWidth = 1;
    double m_cornerRadius = defaultCornerRadius;
};

} // namespace vorlith
