#pragma once

#include <QColor>
#include <QWidget>

namespace vorlith {

// A thin separator: its whole rectangle filled with one colour. Clicks pass through it to the
// surface beneath, so a separator never stops a drag of the bar.
class FilledLine : public QWidget {
    Q_OBJECT
public:
    FilledLine(const QColor& color, QWidget* parent);

    QColor color() const { return m_color; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
};

} // namespace vorlith
