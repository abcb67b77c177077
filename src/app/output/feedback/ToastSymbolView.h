#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QTimer>
#include <QWidget>

namespace vorlith {

// The small drawn images of a toast: a circled check, information or exclamation mark, the
// close cross, and the spinner that stands in for the symbol while work is in progress.
class ToastSymbolView : public QWidget {
    Q_OBJECT
public:
    enum class Kind { success, notice, failure, close, spinner };

    explicit ToastSymbolView(QWidget* parent = nullptr);

    void setKind(Kind kind, const QColor& tint);
    Kind kind() const { return m_kind; }
    // The spinner turns only while it is visible and asked to.
    void setSpinning(bool spinning);
    bool isSpinning() const { return m_timer.isActive(); }

    static void paintSymbol(QPainter& painter, const QRectF& box, Kind kind, const QColor& tint, int step = 0);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind m_kind = Kind::notice;
    QColor m_tint;
    QTimer m_timer;
    int m_step = 0;
};

// The borderless close button of a failure toast: a cross in the secondary colour.
class ToastCloseButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit ToastCloseButton(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vorlith
