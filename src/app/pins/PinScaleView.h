#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

namespace vorlith {

// A pin's zoom badge ("29%"): white text in the system font of size 10 on a dark rounded
// body, 12 points wider than the text and 18 high. It resizes itself when the percentage
// changes and never takes a click.
class PinScaleView : public QWidget {
    Q_OBJECT
public:
    static constexpr double badgeHeight = 18;
    static constexpr double textInset = 6;

    explicit PinScaleView(QWidget* parent = nullptr);

    int percentage() const { return m_percentage; }
    void setPercentage(int percentage);
    const QString& text() const { return m_text; }
    static QFont font();
    QRegion bodyRegion() const;
    // Without a compositor: the body opaque and exactly inside `bodyRegion()`.
    bool translucent = true;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_percentage = 100;
    QString m_text;
};

} // namespace vorlith
