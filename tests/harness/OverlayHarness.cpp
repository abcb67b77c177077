// overlay_harness: the capture overlays as the application shows them, driven through a line
// protocol so that X11 tests and the overlay and copy benchmarks can watch them from another
// process. It captures with the real capture service, shows one OverlayView per display in the
// reused overlay windows with a real output service on the X clipboard (its save panel the
// application's, above the overlays), and reports what they do. It is a test program, not part
// of the application.
//
// Commands (standard input, one per line) and answers (standard output, one line each):
//   capture [front=PID|front=none]  -> "shown N capture_ms=T views_ms=V" once the N
//                                      overlays are presented (frozen in T, the editors
//                                      made and set in V); the
//                                      preselection follows the front process (default: the
//                                      one the capture platform reports)
//   state                           -> one "overlay display=ID window=XID visible= key= grab=
//                                      accepts= selection=X,Y,W,H|none document= candidates=
//                                      marks=N tool=RAW" line per display, then "end"
//   marks display=ID selection=X,Y,W,H [MARKS]
//                                   -> "marked display=ID" once the editor shows them: the
//                                      selection (document points) and the marks (a JSON array
//                                      of annotations, the rest of the line) committed as two
//                                      steps, the preview drawn as on screen
//   toolbar display=ID              -> "toolbar display=ID KEY=RECT ..." for every button of the
//                                      editor's toolbar (KEY the command key: "arrow", "number",
//                                      "copy", …; RECT in the server's pixels, "none" hidden)
//   plain-copy display=ID           -> "plain-copied": the plain Qt way of copying, for a
//                                      baseline: the editor's composite cropped to the
//                                      selection's pixels, put with QClipboard::setImage
//   panel                           -> "panel none", or "panel window=XID visible= grab=
//                                      focus=name|format|other popup= name=RECT format=RECT
//                                      text=TEXT" for the save panel last opened (popup: the
//                                      format list is open; RECTs in the server's pixels; TEXT
//                                      the name field's, to the end of the line)
//   finish                          -> "finished" (ends the capture as the application does)
//   plain                           -> "plain-shown": the plain Qt way, for a baseline:
//                                      QScreen::grabWindow per screen, a new full-screen
//                                      QWidget per screen painting the image and the dimming
//   plain-stroke                    -> "plain-stroke-shown": the plain Qt way of drawing, for a
//                                      baseline: a full-screen QWidget on the first screen
//                                      showing its grab, which draws the pen's line into
//                                      that image in its mouse handler and repaints the segment
//   plain-end                       -> "plain-ended"
//   plain-key CODE                  -> "plain-keyed" once the key (a settings-file key code,
//                                      F3 is 99) is grabbed on the root; each press of it
//                                      then does what "plain" does (answered "plain-shown"),
//                                      for a baseline started by a key as the program's is (ends either plain way)
//   quit                            -> exits
// Unasked lines: "key display=ID key=NAME text=TEXT" for every key that reaches an overlay's
// editor, "output display=ID message=MESSAGE" when an editor's copy or save succeeded (the
// clipboard is ours, the file is written; the capture stays up), "exit display=ID" when an
// editor asks to leave the capture (the capture then ends).
// Errors: "error MESSAGE".
#include "app/base/InterfaceColors.h"
#include "harness/HarnessLines.h"
#include "app/capture/CaptureService.h"
#include "app/editor/CaptureOverlaySet.h"
#include "app/editor/EditorDocument.h"
#include "app/editor/ImageCrop.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/ToolButton.h"
#include "app/editor/chrome/ToolProperties.h"
#include "app/editor/OverlayView.h"
#include "app/output/FileDialogSavePanel.h"
#include "app/output/OutputCoordinator.h"
#include "app/output/OutputService.h"
#include "app/output/feedback/FeedbackCoordinator.h"
#include "core/Annotation.h"
#include "core/CaptureTool.h"
#include "platform/x11/X11CapturePlatform.h"
#include "platform/x11/X11FloatingWindows.h"
#include "platform/x11/X11HotKeyRegistrar.h"
#include "platform/x11/X11Pasteboard.h"
#include "support/TaskOutcome.h"

#include <QApplication>
#include <QClipboard>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QKeySequence>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

namespace vorlith {
namespace {

using harness::option;
using harness::nativeRectText;
using harness::say;


QString rectText(const std::optional<Rect>& r)
{
    if (!r)
        return QStringLiteral("none");
    return QStringLiteral("%1,%2,%3,%4").arg(r->origin.x).arg(r->origin.y).arg(r->size.width).arg(r->size.height);
}

std::optional<Rect> parseRect(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    double values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].toDouble(&ok);
        if (!ok)
            return std::nullopt;
    }
    return Rect(values[0], values[1], values[2], values[3]);
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

// The plain Qt way of drawing a stroke: the line drawn straight into the picture in the mouse
// handler, the segment repainted.
class PlainCanvas final : public QWidget {
public:
    explicit PlainCanvas(QImage image)
        : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_image(std::move(image))
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override { m_last = event->position(); }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!(event->buttons() & Qt::LeftButton))
            return;
        const QPointF to = event->position();
        const QPen pen(QColor(255, 59, 48), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        QPainter painter(&m_image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(pen);
        painter.drawLine(m_last, to);
        update(QRectF(m_last, to).normalized().adjusted(-4, -4, 4, 4).toAlignedRect());
        m_last = to;
    }
    void paintEvent(QPaintEvent* event) override { QPainter(this).drawImage(event->rect(), m_image, event->rect()); }

private:
    QImage m_image;
    QPointF m_last;
};

class Harness final : public QObject {
public:
    Harness()
        : m_service(std::make_shared<X11CapturePlatform>()),
          m_output(std::make_shared<OutputService>(std::make_shared<X11Pasteboard>())),
          m_outputs(std::make_shared<OutputCoordinator>()),
          m_feedback(std::make_shared<FeedbackCoordinator>(nullptr)),
          m_set(m_floating),
          m_input([this](const QString& line) { perform(line); })
    {
        // The application's panel, stacked and given the keyboard by the overlays' own service.
        m_output->setSavePanelFactory([this] {
            auto* panel = new FileDialogSavePanel(nullptr, m_floating);
            m_panel = panel;
            return panel;
        });
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
    void perform(const QString& line)
    {
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString& command = words.front();
        if (command == QLatin1String("capture"))
            capture(words.mid(1));
        else if (command == QLatin1String("state"))
            state();
        else if (command == QLatin1String("marks"))
            marks(line, words.mid(1));
        else if (command == QLatin1String("toolbar"))
            toolbar(words.mid(1));
        else if (command == QLatin1String("plain-copy"))
            plainCopy(words.mid(1));
        else if (command == QLatin1String("panel"))
            panel();
        else if (command == QLatin1String("finish")) {
            finish();
            say(QStringLiteral("finished"));
        } else if (command == QLatin1String("plain"))
            plain();
        else if (command == QLatin1String("plain-stroke"))
            plainStroke();
        else if (command == QLatin1String("plain-key"))
            plainKey(words.mid(1));
        else if (command == QLatin1String("plain-end")) {
            m_plain.clear();
            m_canvas.reset();
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
            view->onOutputSuccess = [id](const QString& message) {
                say(QStringLiteral("output display=%1 message=%2").arg(id).arg(message));
            };
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
                               "document=%8 candidates=%9 marks=%10 tool=%11")
                    .arg(window->displayID())
                    .arg(window->winId())
                    .arg(int(window->isVisible()))
                    .arg(int(window->isKey()))
                    .arg(int(m_floating->keyboardGrabWindow() == window))
                    .arg(int(window->acceptsCaptureInput()))
                    .arg(rectText(session ? session->selection() : std::nullopt))
                    .arg(int(session && session->document().has_value()))
                    .arg(view ? int(view->candidates.size()) : 0)
                    .arg(session ? int(session->annotations().size()) : 0)
                    .arg(view ? captureTool::rawValue(view->record().tool) : QStringLiteral("none")));
        }
        say(QStringLiteral("end"));
    }

    // The editor of the display named by a command's "display=" option; reports when none.
    OverlayView* viewOf(const QStringList& words)
    {
        const QString display = option(words, QStringLiteral("display"));
        for (CaptureOverlayWindow* window : m_set.windows()) {
            if (QString::number(window->displayID()) != display)
                continue;
            if (auto* view = qobject_cast<OverlayView*>(window->content()); view && m_set.isShown())
                return view;
        }
        say(QStringLiteral("error no editor on display %1").arg(display));
        return nullptr;
    }

    void marks(const QString& line, const QStringList& words)
    {
        OverlayView* view = viewOf(words);
        if (!view)
            return;
        const std::optional<Rect> selection = parseRect(option(words, QStringLiteral("selection")));
        if (!selection) {
            say(QStringLiteral("error marks needs selection=X,Y,W,H"));
            return;
        }
        std::vector<Annotation> annotations;
        if (const qsizetype at = line.indexOf(QLatin1Char('[')); at >= 0) {
            try {
                for (const Json& each : json::parse(line.mid(at).toStdString()))
                    annotations.push_back(Annotation::fromJson(each));
            } catch (const std::exception& error) {
                say(QStringLiteral("error the marks do not decode: %1").arg(QString::fromUtf8(error.what())));
                return;
            }
        }
        EditorSession& session = view->record().session;
        session.setSelection(*selection);
        bool committed = session.commit();
        session.beginEdit(EditorSession::EditKind::gesture);
        session.setAnnotations(std::move(annotations));
        committed = session.commit() && committed;
        if (!committed) {
            say(QStringLiteral("error the editor refused the selection or the marks"));
            return;
        }
        if (!view->refresh() || !view->renderMarks())
            return;
        // Answered once the picture on screen has the marks, as when the user drew them.
        const QString answer = QStringLiteral("marked display=%1").arg(view->capture().id);
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll, answer, view = QPointer<OverlayView>(view)] {
            if (view) {
                const CompositeRenderer& compositor = view->record().compositor();
                if (compositor.hasPreviewInFlight() || compositor.cachedMarks() != view->record().session.annotations())
                    return;
                say(answer);
            }
            poll->deleteLater();
            poll->stop();
        });
        poll->start(2);
    }

    void toolbar(const QStringList& words)
    {
        const OverlayView* view = viewOf(words);
        if (!view)
            return;
        QString line = QStringLiteral("toolbar display=%1").arg(view->capture().id);
        if (const CaptureToolbar* bar = view->toolbar()) {
            for (const QString& key : bar->buttonKeys()) {
                const ToolButton* button = bar->button(key);
                line += QStringLiteral(" %1=%2").arg(key, button && button->isVisible() ? nativeRectText(button)
                                                                                        : QStringLiteral("none"));
            }
        }
        say(line);
    }

    void plainCopy(const QStringList& words)
    {
        const OverlayView* view = viewOf(words);
        if (!view)
            return;
        const EditorDocument& record = view->record();
        const std::optional<Rect> selection = record.session.selection();
        const std::optional<Rect> pixels = selection ? record.source().geometry.pixels(*selection) : std::nullopt;
        if (!pixels || record.compositor().cachedMarks() != record.session.annotations()) {
            say(QStringLiteral("error no composite of the marks to copy"));
            return;
        }
        const QImage cropped = ImageCrop::shared(record.compositor().cachedImage(), toQRectF(*pixels).toRect());
        QGuiApplication::clipboard()->setImage(cropped);
        say(QStringLiteral("plain-copied"));
    }

    void panel()
    {
        QFileDialog* dialog = m_panel ? m_panel->dialog() : nullptr;
        if (!dialog) {
            say(QStringLiteral("panel none"));
            return;
        }
        QLineEdit* name = m_panel->nameField();
        QComboBox* format = m_panel->formatPicker();
        const QWidget* focus = dialog->focusWidget();
        const QString focused = focus && focus == name ? QStringLiteral("name")
            : focus && focus == format                 ? QStringLiteral("format")
                                                       : QStringLiteral("other");
        say(QStringLiteral("panel window=%1 visible=%2 grab=%3 focus=%4 popup=%5 name=%6 format=%7 text=%8")
                .arg(dialog->winId())
                .arg(int(dialog->isVisible()))
                .arg(int(m_floating->keyboardGrabWindow() == dialog))
                .arg(focused)
                .arg(int(format && format->view()->isVisible()))
                .arg(nativeRectText(name), nativeRectText(format), m_panel->nameFieldText()));
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

    void plainKey(const QStringList& words)
    {
        bool ok = false;
        const quint32 code = words.value(0).toUInt(&ok);
        if (!ok) {
            say(QStringLiteral("error plain-key needs a key code"));
            return;
        }
        if (!m_keys)
            m_keys = X11HotKeyRegistrar::open();
        if (!m_keys) {
            say(QStringLiteral("error no X server for hot keys"));
            return;
        }
        m_keys->onEvent = [this](quint32, bool pressed) {
            if (pressed)
                plain();
        };
        try {
            m_keys->registerHotKey(ShortcutSpec{code, 0, QString()}, 1);
        } catch (...) {
            say(QStringLiteral("error the key is taken"));
            return;
        }
        say(QStringLiteral("plain-keyed"));
    }

    void plainStroke()
    {
        QScreen* screen = QGuiApplication::primaryScreen();
        m_canvas = std::make_unique<PlainCanvas>(screen->grabWindow(0).toImage());
        m_canvas->setGeometry(screen->geometry());
        m_canvas->show();
        // Answered once the window is on the screen: it shows what the screen showed.
        QElapsedTimer waited;
        waited.start();
        while (!(m_canvas->windowHandle() && m_canvas->windowHandle()->isExposed()) && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        say(QStringLiteral("plain-stroke-shown"));
    }

    std::shared_ptr<X11FloatingWindows> m_floating = std::make_shared<X11FloatingWindows>();
    CaptureService m_service;
    std::shared_ptr<OutputService> m_output;
    std::shared_ptr<OutputCoordinator> m_outputs;
    std::shared_ptr<FeedbackCoordinator> m_feedback;
    CaptureOverlaySet m_set;
    std::vector<std::unique_ptr<PlainOverlay>> m_plain;
    std::unique_ptr<X11HotKeyRegistrar> m_keys; // the baseline's key, once asked for
    std::unique_ptr<PlainCanvas> m_canvas;
    QPointer<FileDialogSavePanel> m_panel;
    harness::InputLines m_input;
};

} // namespace
} // namespace vorlith

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    vorlith::Harness harness;
    vorlith::harness::say(QStringLiteral("ready"));
    return app.exec();
}
