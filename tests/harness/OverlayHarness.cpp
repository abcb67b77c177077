// overlay_harness: the capture overlays as the application shows them, driven through a line
// protocol so that X11 tests and the overlay benchmark can watch them from another process.
// It captures with the real capture service, shows one OverlayView per display in the reused
// overlay windows, and reports what they do. It is a test program, not part of the application.
//
// Commands (standard input, one per line) and answers (standard output, one line each):
//   capture [front=PID|front=none]  -> "shown N capture_ms=T views_ms=V" once the N
//                                      overlays are presented (frozen in T, the editors
//                                      made and set in V); the
//                                      preselection follows the front process (default: the
//                                      one the capture platform reports)
//   state                           -> one "overlay ..." line per display, then "end"
//   finish                          -> "finished" (ends the capture as the application does)
//   plain                           -> "plain-shown": the plain Qt way, for a baseline:
//                                      QScreen::grabWindow per screen, a new full-screen
//                                      QWidget per screen painting the image and the dimming
//   plain-end                       -> "plain-ended"
//   quit                            -> exits
// Unasked lines: "key display=ID key=NAME text=TEXT" for every key that reaches an overlay's
// editor, "exit display=ID" when an editor asks to leave the capture (the capture then ends).
// Errors: "error MESSAGE".
#include "app/base/InterfaceColors.h"
#include "app/capture/CaptureService.h"
#include "app/editor/CaptureOverlaySet.h"
#include "app/editor/EditorDocument.h"
#include "app/editor/OverlayView.h"
#include "app/output/OutputCoordinator.h"
#include "app/output/OutputService.h"
#include "app/output/feedback/FeedbackCoordinator.h"
#include "platform/x11/X11CapturePlatform.h"
#include "platform/x11/X11FloatingWindows.h"
#include "platform/x11/X11Pasteboard.h"
#include "support/TaskOutcome.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QSocketNotifier>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

namespace vorlith {
namespace {

void say(const QString& line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString rectText(const std::optional<Rect>& r)
{
    if (!r)
        return QStringLiteral("none");
    return QStringLiteral("%1,%2,%3,%4").arg(r->origin.x).arg(r->origin.y).arg(r->size.width).arg(r->size.height);
}

// The baseline: a new top-level per screen that draws its grabbed image and the same dimming.
class PlainOverlay final : public QWidget {
public:
    explicit PlainOverlay(QImage image)
        : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_image(std::move(image))
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.drawImage(QRectF(rect()), m_image);
        painter.fillRect(rect(), InterfaceColors::captureMask());
    }

private:
    QImage m_image;
};

class Harness final : public QObject {
public:
    Harness()
        : m_service(std::make_shared<X11CapturePlatform>()),
          m_output(std::make_shared<OutputService>(std::make_shared<X11Pasteboard>())),
          m_outputs(std::make_shared<OutputCoordinator>()),
          m_feedback(std::make_shared<FeedbackCoordinator>(nullptr)),
          m_set(m_floating),
          m_input(STDIN_FILENO, QSocketNotifier::Read)
    {
        connect(&m_input, &QSocketNotifier::activated, this, [this] { readInput(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            if (auto* view = qobject_cast<OverlayView*>(watched)) {
                const auto* key = static_cast<QKeyEvent*>(event);
                say(QStringLiteral("key display=%1 key=%2 text=%3")
                        .arg(view->capture().id)
                        .arg(QKeySequence(key->key()).toString(), key->text()));
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void readInput()
    {
        char chunk[4096];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            m_input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        m_pending.append(chunk, int(got));
        qsizetype end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromLocal8Bit(m_pending.left(end)).trimmed();
            m_pending.remove(0, end + 1);
            if (!line.isEmpty())
                perform(line);
        }
    }

    void perform(const QString& line)
    {
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString& command = words.front();
        if (command == QLatin1String("capture"))
            capture(words.mid(1));
        else if (command == QLatin1String("state"))
            state();
        else if (command == QLatin1String("finish")) {
            finish();
            say(QStringLiteral("finished"));
        } else if (command == QLatin1String("plain"))
            plain();
        else if (command == QLatin1String("plain-end")) {
            m_plain.clear();
            say(QStringLiteral("plain-ended"));
        } else if (command == QLatin1String("quit")) {
            finish();
            QCoreApplication::quit();
        } else
            say(QStringLiteral("error unknown command %1").arg(command));
    }

    void capture(const QStringList& options)
    {
        if (m_set.isShown()) {
            say(QStringLiteral("error a capture is shown"));
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        // Read as the capture road reads it, even when the command names another.
        std::optional<qint32> front = m_service.frontPID();
        for (const QString& option : options) {
            if (option == QLatin1String("front=none"))
                front.reset();
            else if (option.startsWith(QLatin1String("front=")))
                front = option.mid(6).toInt();
        }
        auto captured = test::finish(m_service.capture());
        if (!captured.value) {
            say(QStringLiteral("error the capture failed"));
            return;
        }
        const std::chrono::duration<double, std::milli> captureTime = std::chrono::steady_clock::now() - start;
        const std::vector<FrozenDisplay>& frames = *captured.value;
        std::vector<OverlayDisplay> displays;
        for (const FrozenDisplay& frame : frames)
            displays.push_back(OverlayDisplay::of(frame));
        const std::vector<CaptureOverlayWindow*>& windows = m_set.prepare(displays);
        for (std::size_t i = 0; i < windows.size(); ++i) {
            auto* view = new OverlayView(frames[i], front, SaveDraft{}, m_output, m_outputs, std::nullopt, m_feedback);
            view->installEventFilter(this);
            const quint32 id = frames[i].id;
            view->onExit = [this, id] {
                say(QStringLiteral("exit display=%1").arg(id));
                finish();
            };
            windows[i]->setContent(view);
        }
        const std::chrono::duration<double, std::milli> viewsTime = std::chrono::steady_clock::now() - start;
        m_set.present(std::nullopt);
        say(QStringLiteral("shown %1 capture_ms=%2 views_ms=%3")
                .arg(windows.size())
                .arg(captureTime.count(), 0, 'f', 2)
                .arg(viewsTime.count() - captureTime.count(), 0, 'f', 2));
    }

    void state()
    {
        for (CaptureOverlayWindow* window : m_set.windows()) {
            auto* view = qobject_cast<OverlayView*>(window->content());
            const EditorSession* session = view ? &view->record().session : nullptr;
            say(QStringLiteral("overlay display=%1 window=%2 visible=%3 key=%4 grab=%5 accepts=%6 selection=%7 "
                               "document=%8 candidates=%9")
                    .arg(window->displayID())
                    .arg(window->winId())
                    .arg(int(window->isVisible()))
                    .arg(int(window->isKey()))
                    .arg(int(m_floating->keyboardGrabWindow() == window))
                    .arg(int(window->acceptsCaptureInput()))
                    .arg(rectText(session ? session->selection() : std::nullopt))
                    .arg(int(session && session->document().has_value()))
                    .arg(view ? int(view->candidates.size()) : 0));
        }
        say(QStringLiteral("end"));
    }

    void finish()
    {
        if (!m_set.isShown())
            return;
        for (QWidget* content : m_set.finish())
            content->deleteLater();
    }

    void plain()
    {
        m_plain.clear();
        for (QScreen* screen : QGuiApplication::screens()) {
            m_plain.push_back(std::make_unique<PlainOverlay>(screen->grabWindow(0).toImage()));
            m_plain.back()->setGeometry(screen->geometry());
            m_plain.back()->show();
        }
        say(QStringLiteral("plain-shown"));
    }

    std::shared_ptr<X11FloatingWindows> m_floating = std::make_shared<X11FloatingWindows>();
    CaptureService m_service;
    std::shared_ptr<OutputService> m_output;
    std::shared_ptr<OutputCoordinator> m_outputs;
    std::shared_ptr<FeedbackCoordinator> m_feedback;
    CaptureOverlaySet m_set;
    std::vector<std::unique_ptr<PlainOverlay>> m_plain;
    QSocketNotifier m_input;
    QByteArray m_pending;
};

} // namespace
} // namespace vorlith

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    vorlith::Harness harness;
    vorlith::say(QStringLiteral("ready"));
    return app.exec();
}
