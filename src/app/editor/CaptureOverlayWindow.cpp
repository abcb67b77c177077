#include "app/editor/CaptureOverlayWindow.h"

#include "platform/FloatingWindows.h"

#include <QBackingStore>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPaintEvent>
#include <QWindow>

namespace vorlith {

CaptureOverlayWindow::CaptureOverlayWindow(std::shared_ptr<FloatingWindows> windows, quint32 displayID,
                                           const QRect& frame, const QRect& pixels, double scale)
    : QWidget(nullptr), m_windows(std::move(windows)), m_displayID(displayID), m_frame(frame), m_pixels(pixels),
      m_scale(scale)
{
    Q_ASSERT(m_windows);
    setObjectName(QStringLiteral("CaptureOverlayWindow"));
    m_windows->place(this, WindowLevel::captureOverlay, true);
    // It takes the keyboard through makeKey() only, never by being shown.
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Opaque: nothing of what is below shows, and Qt paints no background of its own first
    // (a full-screen fill before every first paint); the content draws every pixel it covers.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_QuitOnClose, false);
    setMouseTracking(true);
    setGeometry(m_frame);
    // The native window and its backing store are made now, once: showing the window for a
    // capture then only maps it and paints.
    winId();
    if (QBackingStore* store = backingStore())
        store->resize(size());
    // Presses reach the window before any widget in it, the content's included.
    if (QWindow* handle = windowHandle())
        handle->installEventFilter(this);
}

CaptureOverlayWindow::~CaptureOverlayWindow()
{
    if (m_windows)
        m_windows->releaseKeyboard(this);
}

bool CaptureOverlayWindow::makeKey()
{
    if (!canBecomeKey())
        return false;
    m_windows->activate(this);
    m_windows->holdKeyboard(this);
    if (m_content)
        m_content->setFocus(Qt::ActiveWindowFocusReason);
    return true;
}

bool CaptureOverlayWindow::isKey() const
{
    return windowHandle() && QGuiApplication::focusWindow() == windowHandle();
}

void CaptureOverlayWindow::setContent(QWidget* content)
{
    Q_ASSERT(!m_content || m_content == content);
    if (!content || m_content == content)
        return;
    m_content = content;
    content->setParent(this);
    content->setGeometry(rect());
    content->show();
    setFocusProxy(content);
}

QWidget* CaptureOverlayWindow::takeContent()
{
    QWidget* content = m_content;
    m_content = nullptr;
    if (!content)
        return nullptr;
    setFocusProxy(nullptr);
    content->hide();
    content->setParent(nullptr);
    return content;
}

void CaptureOverlayWindow::orderFront()
{
    setGeometry(m_frame);
    m_windows->show(this);
    // Logical geometry rounds at fractional scales; the monitor's own pixels do not.
    m_windows->setPixelGeometry(this, m_pixels);
}

void CaptureOverlayWindow::orderOut()
{
    m_windows->releaseKeyboard(this);
    hide();
    settleBackingStore();
}

void CaptureOverlayWindow::settleBackingStore()
{
    // Before it paints into pixels it has flushed, Qt waits for the server to have read them:
    // a round trip that also waits for every request queued before it. The next capture's
    // first paint of this window would wait there behind the other overlay's upload; an empty
    // paint now, while nothing is waiting, settles it.
    QBackingStore* store = backingStore();
    if (!store || !testAttribute(Qt::WA_WState_Created) || store->size().isEmpty())
        return;
    store->beginPaint(QRegion(QRect(QPoint(0, 0), store->size())));
    store->endPaint();
}

void CaptureOverlayWindow::announceClose()
{
    // Only the event: QWidget::event() hands it to closeEvent(), which neither hides nor
    // destroys anything.
    QCloseEvent closing;
    QCoreApplication::sendEvent(this, &closing);
}

bool CaptureOverlayWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress && watched == windowHandle() && !isKey())
        makeKey();
    return QWidget::eventFilter(watched, event);
}

void CaptureOverlayWindow::paintEvent(QPaintEvent* event)
{
    // Only what no content covers (none yet, or the last row of a fractional size).
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::black);
}

void CaptureOverlayWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_content)
        m_content->setGeometry(rect());
}

} // namespace vorlith
