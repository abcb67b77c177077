#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <memory>

namespace vorlith {

class FloatingWindows;

// The borderless full-screen window of one display during a capture: override-redirect at the
// capture-overlay level (above every other window, always-on-top ones included), opaque,
// black where nothing is drawn, exactly on its monitor's pixels. It hosts one content widget
// (the display's editor) that fills it.
//
// The native window and its backing store outlive a capture: ending one orders the window
// out and takes the content away (closed, as far as the user can tell); the next capture on
// the same display shows the same window again (CaptureOverlaySet).
class CaptureOverlayWindow final : public QWidget {
    Q_OBJECT
public:
    // `frame`: the display's logical frame (global); `pixels`: its rectangle in the window
    // system's global pixels, which the window covers exactly.
    CaptureOverlayWindow(std::shared_ptr<FloatingWindows> windows, quint32 displayID, const QRect& frame,
                         const QRect& pixels, double scale);
    ~CaptureOverlayWindow() override;

    quint32 displayID() const { return m_displayID; }
    QRect frame() const { return m_frame; }
    QRect pixelFrame() const { return m_pixels; }
    double scale() const { return m_scale; }

    // Set to true when made; turned off on the displays that did not get the selection.
    bool acceptsCaptureInput() const { return m_acceptsCaptureInput; }
    void setAcceptsCaptureInput(bool accepts) { m_acceptsCaptureInput = accepts; }
    // The window may take the keyboard only while it accepts capture input; it is never the
    // application's main window.
    bool canBecomeKey() const { return m_acceptsCaptureInput; }
    bool canBecomeMain() const { return false; }

    // The one way an overlay takes the keyboard: refused (false) unless it can become key.
    // The overlay then holds the keyboard grab while it is shown. A press of a mouse button in
    // an overlay that is not key asks here too: no click moves the X focus to an
    // override-redirect window by itself.
    bool makeKey();
    // True while Qt's focus window is this one.
    bool isKey() const;

    // The content fills the window and takes its keyboard focus. A window holds at most one.
    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }
    // Removes the content (hidden, without parent) and hands it to the caller, who releases
    // it with deleteLater(): the content may be running one of its own callbacks.
    [[nodiscard]] QWidget* takeContent();

    // Shows the window over its monitor, at the front of its level, without the keyboard.
    void orderFront();
    // Takes it off the screen and gives up the keyboard grab. Never QWidget::close() an
    // overlay: that destroys the native window the next capture would show again.
    void orderOut();
    // Tells whoever watches the window (its content) that it closes, as QWidget::close() would,
    // while the native window stays: the editor drops its pending toasts and stops its timers.
    void announceClose();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void settleBackingStore();

    std::shared_ptr<FloatingWindows> m_windows;
    quint32 m_displayID;
    QRect m_frame;
    QRect m_pixels;
    double m_scale;
    bool m_acceptsCaptureInput = true;
    QPointer<QWidget> m_content;
};

} // namespace vorlith
