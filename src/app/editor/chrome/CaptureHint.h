#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace vorlith {

class HintExitButton;

// The dark guidance pill over the frozen screen: one line of text and, optionally, the exit
// button. The editor decides when it shows, what it says and where it sits. A click on the
// pill never reaches the editor underneath.
class CaptureHint : public QWidget {
    Q_OBJECT
public:
    explicit CaptureHint(QWidget* parent = nullptr);

    static constexpr double pillHeight = 34;
    static constexpr double cornerRadius = 9;
    static QColor bodyColor() { return QColor(40, 48, 39, 237); }
    static QColor borderColor() { return QColor(255, 255, 255, 34); }
    static QColor textColor() { return QColor(245, 247, 242); }
    static QFont messageFont();

    void configure(const QString& text, bool showExit);

    QString text() const { return m_text; }
    HintExitButton* exitButton() const { return m_exitButton; }
    // The message's frame inside the pill.
    QRectF messageFrame() const { return m_messageFrame; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_text;
    QRectF m_messageFrame;
    HintExitButton* m_exitButton;
};

} // namespace vorlith
