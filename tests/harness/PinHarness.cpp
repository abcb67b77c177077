// pin_harness: pinned images as the application shows them, driven through a line protocol so
// that X11 tests and the zoom benchmark can watch them from another process. Each pin is the
// real window controller with a real editor view on the X11 window service. It is a test
// program, not part of the application.
//
// Commands (standard input, one per line) and answers (standard output, one line each):
//   open FILE [selection=X,Y,W,H] [near=X,Y] [MARKS]
//                         -> "opened pin=N content=XID" once shown: the PNG as a document
//                            (one point per pixel), the selection (default: the whole image)
//                            and marks (a JSON array of annotations, the rest of the line)
//                            committed; the new pin is the active one
//   state                 -> one "pin index=N content=XID ring=XID strip=XID badge=XID
//                            chrome=XID resize=XID,… frame=X,Y,W,H ring_frame= strip_frame=
//                            badge_frame= (server pixels) scale=S percent=P visible= active=
//                            hovered= editing= strip_shown= badge_shown= click_through_ring="
//                            line per pin, "stack ROLE …" (our visible windows front first,
//                            ROLE = N.image, N.decoration, N.actions, N.scale, N.editor,
//                            N.resize.I), "compositor=0|1", then "end"
//   hover pin=N on|off    -> "hovered pin=N"
//   activate pin=N        -> "activated pin=N ok=0|1": the active pin, brought to the front
//   zoom pin=N factor=F   -> "zoomed pin=N ms=T scale=S": the viewport scaled about the image's
//                            centre, T from applying it until the image, ring and badge have
//                            painted and the server has them (the strip only moves)
//   plain-zoom pin=N factor=F
//                         -> "plain-zoomed ms=T": the baseline, one plain top-level QWidget
//                            (made at the first) resized to the pin's size times F and drawing
//                            the document's composite scaled, timed the same way; the pin
//                            itself does not change
//   edit pin=N            -> "editing pin=N": the pin in edit mode, its toolbar in the chrome
//                            (as its edit button asks; a double click on the image does too)
//   tool pin=N key=K      -> "tool pin=N": the editor's command K ("arrow", "pen", "undo", …)
//   toolbar pin=N         -> "toolbar pin=N KEY=RECT …": each toolbar button in server pixels
//   copy pin=N            -> "copying pin=N"; later, unasked, "output pin=N message=M" when a
//                            copy or save of the pin succeeded
//   menu pin=N at=X,Y     -> "menu pin=N item0=RECT … item5=RECT": the context menu popped up at
//                            a point (logical), its items in server pixels
//   freeze pin=N on|off   -> "frozen pin=N on|off": the quit review's freeze
//   strip pin=N           -> "strip pin=N field=RECT text=T focused=0|1 readonly=0|1 width=W":
//                            the first field of the editor's property strip and the pen's width
//   viewport pin=N        -> "viewport pin=N origin=X,Y scale=S" (logical, unrounded)
//   (unasked) "closed pin=N" when a pin's own close button or menu closed it
//   visible pin=N on|off  -> "visible pin=N on|off": shown or hidden as its hide button does
//   paints pin=N          -> "paints pin=N host=K": paint events of the pin's editor view so far
//   plain-window pin=N    -> "plain-window xid=XID frame=RECT": the drag baseline, one plain
//                            top-level QWidget of the pin's size at its place, drawing the
//                            document's composite scaled and moving itself in its own mouse
//                            move handler while the left button is held
//   close pin=N           -> "closed pin=N": disposed and deleted
//   renders               -> "renders N": blurs the ring's shadow painter has made
//   quit                  -> exits
// Errors: "error MESSAGE".
#include "app/editor/EditorDocument.h"
#include "harness/HarnessLines.h"
#include "app/editor/EditorHostView.h"
#include "app/output/OutputCoordinator.h"
#include "app/output/OutputService.h"
#include "app/output/feedback/FeedbackCoordinator.h"
#include "app/pins/PinChromeSurface.h"
#include "app/pins/PinContentView.h"
#include "app/pins/PinDecorationView.h"
#include "app/pins/PinEnvironment.h"
#include "app/pins/PinScaleView.h"
#include "app/pins/PinWindowController.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/StripField.h"
#include "app/editor/chrome/ToolButton.h"
#include "app/editor/chrome/ToolProperties.h"
#include "core/Annotation.h"
#include "core/Json.h"
#include "platform/x11/X11FloatingWindows.h"
#include "platform/x11/X11Pasteboard.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QImageReader>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QUuid>
#include <QWidget>

#include <cstdio>
#include <memory>
#include <map>
#include <set>
#include <unistd.h>
#include <vector>

namespace vorlith {
namespace {

using harness::option;
using harness::say;



std::vector<double> numbers(const QString& text)
{
    std::vector<double> values;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        values.push_back(part.toDouble());
    return values;
}

// A window's rectangle in the server's pixels.
QString nativeRect(const QWidget* widget)
{
    const QScreen* screen = widget->screen();
    const QPoint corner = screen ? screen->geometry().topLeft() : QPoint();
    const double scale = widget->devicePixelRatioF();
    const QPointF topLeft = QPointF(corner) + QPointF(widget->geometry().topLeft() - corner) * scale;
    return QStringLiteral("%1,%2,%3,%4")
        .arg(qRound(topLeft.x()))
        .arg(qRound(topLeft.y()))
        .arg(qRound(widget->width() * scale))
        .arg(qRound(widget->height() * scale));
}

QString xid(const QWidget* widget)
{
    return QStringLiteral("0x%1").arg(quint64(widget->winId()), 0, 16);
}

// The baseline of a zoom: the composite drawn scaled into a plain window.
class PlainZoom final : public QWidget {
public:
    explicit PlainZoom(QImage image) : QWidget(nullptr, Qt::FramelessWindowHint), m_image(std::move(image)) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(rect()), m_image);
    }

private:
    QImage m_image;
};

// The baseline of a drag: a plain window that follows the pointer from its own mouse handler.
class PlainDrag final : public QWidget {
public:
    explicit PlainDrag(QImage image) : QWidget(nullptr, Qt::FramelessWindowHint), m_image(std::move(image)) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(rect()), m_image);
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        m_press = event->globalPosition().toPoint();
        m_start = pos();
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (event->buttons() & Qt::LeftButton)
            move(m_start + event->globalPosition().toPoint() - m_press);
    }

private:
    QImage m_image;
    QPoint m_press;
    QPoint m_start;
};

class Harness final : public QObject {
public:
    Harness()
        : m_output(std::make_shared<OutputService>(std::make_shared<X11Pasteboard>())),
          m_outputs(std::make_shared<OutputCoordinator>()), m_feedback(std::make_shared<FeedbackCoordinator>(nullptr)),
          m_input([this](const QString& line) { perform(line); })
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            if (const auto counted = m_paintCounted.find(watched); counted != m_paintCounted.end())
                ++counted->second;
        if (event->type() == QEvent::Paint && m_waiting.erase(watched) && m_waiting.empty())
            QMetaObject::invokeMethod(this, [this] { finishTiming(); }, Qt::QueuedConnection);
        return QObject::eventFilter(watched, event);
    }

private:
    PinWindowController* pinAt(const QStringList& words)
    {
        bool ok = false;
        const int index = option(words, QStringLiteral("pin")).toInt(&ok);
        if (!ok || index < 0 || index >= int(m_pins.size()) || !m_pins[size_t(index)]) {
            say(QStringLiteral("error no such pin"));
            return nullptr;
        }
        return m_pins[size_t(index)].get();
    }

    void perform(const QString& line)
    {
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString command = words.value(0);
        try {
            if (command == QLatin1String("open"))
                open(line, words);
            else if (command == QLatin1String("state"))
                state();
            else if (command == QLatin1String("hover")) {
                if (PinWindowController* pin = pinAt(words)) {
                    pin->isHovered = words.contains(QStringLiteral("on"));
                    pin->decoration()->hovered = pin->isHovered;
                    pin->activateControls();
                    say(QStringLiteral("hovered pin=%1").arg(option(words, QStringLiteral("pin"))));
                }
            } else if (command == QLatin1String("activate")) {
                if (PinWindowController* pin = pinAt(words)) {
                    makeActive(pin);
                    const bool ok = pin->bringToFront();
                    say(QStringLiteral("activated pin=%1 ok=%2").arg(option(words, QStringLiteral("pin"))).arg(int(ok)));
                }
            } else if (command == QLatin1String("zoom") || command == QLatin1String("plain-zoom"))
                zoom(words, command == QLatin1String("plain-zoom"));
            else if (command == QLatin1String("edit")) {
                if (PinWindowController* pin = pinAt(words)) {
                    pin->beginEditing();
                    say(QStringLiteral("editing pin=%1").arg(option(words, QStringLiteral("pin"))));
                }
            } else if (interaction(command, words)) {
            } else if (command == QLatin1String("close")) {
                if (PinWindowController* pin = pinAt(words)) {
                    pin->dispose();
                    const int index = option(words, QStringLiteral("pin")).toInt();
                    m_pins[size_t(index)].release()->deleteLater();
                    say(QStringLiteral("closed pin=%1").arg(index));
                }
            } else if (command == QLatin1String("renders"))
                say(QStringLiteral("renders %1").arg(PinDecorationView::shadowPainter().renders()));
            else if (command == QLatin1String("quit"))
                QCoreApplication::quit();
            else
                say(QStringLiteral("error unknown command ") + command);
        } catch (const std::exception& error) {
            say(QStringLiteral("error ") + QString::fromUtf8(error.what()));
        }
    }

    void makeActive(PinWindowController* active)
    {
        for (auto& pin : m_pins)
            if (pin) {
                pin->isActive = pin.get() == active;
                pin->activateControls();
            }
    }

    void open(const QString& line, const QStringList& words)
    {
        QImageReader reader(words.value(1));
        QImage image = reader.read();
        if (image.isNull()) {
            say(QStringLiteral("error cannot read ") + words.value(1));
            return;
        }
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const Size size{double(image.width()), double(image.height())};
        Rect selection(0, 0, size.width, size.height);
        if (const std::vector<double> r = numbers(option(words, QStringLiteral("selection"))); r.size() == 4)
            selection = Rect(r[0], r[1], r[2], r[3]);
        std::optional<Point> near;
        if (const std::vector<double> p = numbers(option(words, QStringLiteral("near"))); p.size() == 2)
            near = Point{p[0], p[1]};
        const QUuid id = QUuid::createUuid();
        auto document = std::make_shared<EditorDocument>(
            EditorImageSource{QUuid::createUuid(), image, CaptureGeometry{size, size}}, SaveDraft{},
            EditorSession(id, std::nullopt, DocumentOrigin::localFile));
        document->session.setSelection(selection);
        document->session.commit();
        if (const qsizetype at = line.indexOf(QLatin1Char('[')); at >= 0) {
            std::vector<Annotation> marks;
            for (const Json& each : json::parse(line.mid(at).toStdString()))
                marks.push_back(Annotation::fromJson(each));
            document->session.beginEdit(EditorSession::EditKind::gesture);
            document->session.setAnnotations(std::move(marks));
            document->session.commit();
        }
        auto* host = new EditorHostView(document, true, m_output, m_outputs, m_feedback);
        auto pin = PinWindowController::make(document, host, selection, near, PinEnvironment::system(m_floating));
        if (!pin) {
            delete host;
            say(QStringLiteral("error cannot pin"));
            return;
        }
        const int index = int(m_pins.size());
        PinWindowController* shown = pin.get();
        m_pins.push_back(std::move(pin));
        shown->onVisibilityChanged = [this, index] {
            if (m_announce.erase(index))
                say(QStringLiteral("opened pin=%1 content=%2").arg(index).arg(xid(m_pins[size_t(index)]->contentWindow())));
        };
        m_announce.insert(index);
        wireInteraction(shown, index);
        makeActive(shown);
        shown->show();
    }

    void state()
    {
        for (size_t i = 0; i < m_pins.size(); ++i) {
            PinWindowController* pin = m_pins[i].get();
            if (!pin)
                continue;
            QStringList resize;
            for (int r = 0; r < 8; ++r)
                resize << xid(pin->resizeWindow(r));
            say(QStringLiteral("pin index=%1 content=%2 ring=%3 strip=%4 badge=%5 chrome=%6 resize=%7 frame=%8 "
                               "ring_frame=%9 strip_frame=%10 badge_frame=%11 scale=%12 percent=%13 visible=%14 "
                               "active=%15 hovered=%16 editing=%17 strip_shown=%18 badge_shown=%19")
                    .arg(i)
                    .arg(xid(pin->contentWindow()), xid(pin->borderWindow()), xid(pin->controlsWindow()),
                         xid(pin->scaleWindow()), xid(pin->chromeWindow()), resize.join(QLatin1Char(',')),
                         nativeRect(pin->contentWindow()), nativeRect(pin->borderWindow()),
                         nativeRect(pin->controlsWindow()))
                    .arg(nativeRect(pin->scaleWindow()))
                    .arg(pin->viewport().scale(), 0, 'g', 10)
                    .arg(pin->scaleLabel()->percentage())
                    .arg(int(pin->contentWindow()->isVisible()))
                    .arg(int(pin->isActive))
                    .arg(int(pin->isHovered))
                    .arg(int(pin->isEditing))
                    .arg(int(pin->controlsWindow()->isVisible()))
                    .arg(int(pin->scaleWindow()->isVisible())));
        }
        QStringList stack;
        for (QWidget* window : m_floating->frontToBack())
            stack << role(window);
        say(QStringLiteral("stack ") + stack.join(QLatin1Char(' ')));
        say(QStringLiteral("compositor=%1").arg(int(m_floating->hasCompositor())));
        say(QStringLiteral("end"));
    }

    QString role(QWidget* window) const
    {
        for (size_t i = 0; i < m_pins.size(); ++i) {
            if (!m_pins[i])
                continue;
            const QString name = window->objectName();
            const QString prefix = QStringLiteral("pin.") + uuidPart(i);
            if (name.startsWith(prefix)) {
                if (name.contains(QLatin1String(".resize.")))
                    return QStringLiteral("%1.resize.%2").arg(i).arg(name.section(QLatin1Char('.'), -1));
                return QStringLiteral("%1.%2").arg(i).arg(name.section(QLatin1Char('.'), -1));
            }
        }
        return QStringLiteral("other");
    }

    QString uuidPart(size_t index) const
    {
        return m_pins[index]->contentWindow()->objectName().section(QLatin1Char('.'), 1, 1);
    }

    void zoom(const QStringList& words, bool plain)
    {
        PinWindowController* pin = pinAt(words);
        if (!pin)
            return;
        const double factor = option(words, QStringLiteral("factor")).toDouble();
        const DocumentViewport& now = pin->viewport();
        const Point centre{now.screenRect().midX(), now.screenRect().midY()};
        const std::optional<DocumentViewport> next = now.scaled(now.scale() * factor, centre);
        if (!next) {
            say(QStringLiteral("error cannot zoom"));
            return;
        }
        QTimer::singleShot(3000, this, [this, generation = ++m_timingGeneration] {
            if (generation == m_timingGeneration && !m_answer.isEmpty()) {
                say(QStringLiteral("error not painted"));
                m_answer.clear();
            }
        });
        if (plain) {
            // One plain window, made once and kept, as the pin's windows are; it stays beneath
            // the pin (which stays on top) and paints all the same.
            if (!m_plain) {
                m_plain = std::make_unique<PlainZoom>(pin->document().compositor().cachedImage());
                m_plain->installEventFilter(this);
                m_plain->setGeometry(pin->contentWindow()->geometry());
                m_plain->show();
            }
            const QSize size(qRound(next->screenRect().width()), qRound(next->screenRect().height()));
            m_waiting = {m_plain.get()};
            m_answer = QStringLiteral("plain-zoomed");
            m_timing.start();
            if (m_plain->size() == size)
                m_plain->update();
            m_plain->resize(size);
            return;
        }
        m_timing.start();
        // The strip keeps its size and only moves: nothing in it is painted again.
        QWidget* watched[] = {pin->host(), pin->decoration(), pin->scaleLabel()};
        m_waiting.clear();
        for (QWidget* widget : watched) {
            widget->installEventFilter(this);
            m_waiting.insert(widget);
        }
        m_answer = QStringLiteral("zoomed pin=%1 scale=%2").arg(option(words, QStringLiteral("pin"))).arg(next->scale(), 0, 'g', 10);
        pin->apply(*next);
    }

    void finishTiming()
    {
        if (m_answer.isEmpty())
            return;
        const double painted = double(m_timing.nsecsElapsed()) / 1e6;
        m_floating->flush(); // the server has what was painted
        const double ms = double(m_timing.nsecsElapsed()) / 1e6;
        say(m_answer + QStringLiteral(" ms=%1 painted_ms=%2").arg(ms, 0, 'f', 3).arg(painted, 0, 'f', 3));
        m_answer.clear();
    }

    // --- Interaction commands ---

    void wireInteraction(PinWindowController* pin, int index)
    {
        const QPointer<PinWindowController> weak(pin);
        pin->onRequestEdit = [weak](const QUuid&) {
            if (weak)
                weak->beginEditing();
            return bool(weak);
        };
        pin->onClose = [this, index](const QUuid&) {
            PinWindowController* closing = m_pins[size_t(index)].get();
            closing->dispose();
            m_pins[size_t(index)].release()->deleteLater();
            say(QStringLiteral("closed pin=%1").arg(index));
        };
        pin->host()->onOutputSuccess = [index](const QString& message) {
            say(QStringLiteral("output pin=%1 message=%2").arg(index).arg(message));
        };
    }

    bool interaction(const QString& command, const QStringList& words)
    {
        static const QStringList commands{"tool",     "toolbar", "copy",   "menu",        "freeze",
                                          "strip",    "viewport", "visible", "paints",     "plain-window"};
        if (!commands.contains(command))
            return false;
        PinWindowController* pin = pinAt(words);
        if (!pin)
            return true;
        const QString index = option(words, QStringLiteral("pin"));
        if (command == QLatin1String("tool")) {
            pin->host()->performTool(option(words, QStringLiteral("key")));
            say(QStringLiteral("tool pin=%1").arg(index));
        } else if (command == QLatin1String("toolbar")) {
            QString line = QStringLiteral("toolbar pin=%1").arg(index);
            if (const CaptureToolbar* bar = pin->host()->toolbar())
                for (const QString& key : bar->buttonKeys()) {
                    const ToolButton* button = bar->button(key);
                    line += QStringLiteral(" %1=%2").arg(key, button && button->isVisible() ? harness::nativeRectText(button)
                                                                                            : QStringLiteral("none"));
                }
            say(line);
        } else if (command == QLatin1String("copy")) {
            pin->copyPin();
            say(QStringLiteral("copying pin=%1").arg(index));
        } else if (command == QLatin1String("menu")) {
            const std::vector<double> p = numbers(option(words, QStringLiteral("at")));
            pin->showContextMenu(p.size() == 2 ? QPoint(qRound(p[0]), qRound(p[1])) : QCursor::pos());
            QMenu* menu = pin->contextMenu();
            if (!menu) {
                say(QStringLiteral("menu pin=%1 none").arg(index));
                return true;
            }
            // Answered once the menu is on screen, where its items can be clicked.
            QTimer::singleShot(300, this, [menu = QPointer<QMenu>(menu), index] {
                if (!menu) {
                    say(QStringLiteral("menu pin=%1 none").arg(index));
                    return;
                }
                QString line = QStringLiteral("menu pin=%1").arg(index);
                const QList<QAction*> actions = menu->actions();
                for (int i = 0; i < actions.size(); ++i) {
                    const QRect item = menu->actionGeometry(actions[i]);
                    const double scale = menu->devicePixelRatioF();
                    const QPoint global = menu->mapToGlobal(item.topLeft());
                    const QPoint corner = menu->screen() ? menu->screen()->geometry().topLeft() : QPoint();
                    const QPointF native = QPointF(corner) + QPointF(global - corner) * scale;
                    line += QStringLiteral(" item%1=%2,%3,%4,%5")
                                .arg(i)
                                .arg(qRound(native.x()))
                                .arg(qRound(native.y()))
                                .arg(qRound(item.width() * scale))
                                .arg(qRound(item.height() * scale));
                }
                say(line);
            });
        } else if (command == QLatin1String("freeze")) {
            const bool on = words.contains(QStringLiteral("on"));
            pin->setTerminationSuspended(on);
            say(QStringLiteral("frozen pin=%1 %2").arg(index, on ? QStringLiteral("on") : QStringLiteral("off")));
        } else if (command == QLatin1String("strip")) {
            const StripField* field = pin->host()->properties()->findChild<StripField*>();
            const AnnotationStyle pen = pin->document().styles.value(CaptureTool::pen,
                                                                     EditorDocument::defaultStyle(CaptureTool::pen));
            say(QStringLiteral("strip pin=%1 field=%2 text=%3 focused=%4 readonly=%5 width=%6")
                    .arg(index, field && field->isVisible() ? harness::nativeRectText(field) : QStringLiteral("none"),
                         field ? field->text() : QString())
                    .arg(int(field && field->window()->focusWidget() == field))
                    .arg(int(field && field->isReadOnly()))
                    .arg(pen.width));
        } else if (command == QLatin1String("visible")) {
            const bool on = words.contains(QStringLiteral("on"));
            pin->setVisible(on);
            say(QStringLiteral("visible pin=%1 %2").arg(index, on ? QStringLiteral("on") : QStringLiteral("off")));
        } else if (command == QLatin1String("paints")) {
            if (!m_paintCounted.count(pin->host())) {
                m_paintCounted[pin->host()] = 0;
                pin->host()->installEventFilter(this);
            }
            say(QStringLiteral("paints pin=%1 host=%2").arg(index).arg(m_paintCounted[pin->host()]));
        } else if (command == QLatin1String("plain-window")) {
            if (!m_plainDrag) {
                m_plainDrag = std::make_unique<PlainDrag>(pin->document().compositor().cachedImage());
                m_plainDrag->setGeometry(pin->contentWindow()->geometry());
                m_plainDrag->show();
            }
            say(QStringLiteral("plain-window xid=%1 frame=%2").arg(xid(m_plainDrag.get()), nativeRect(m_plainDrag.get())));
        } else if (command == QLatin1String("viewport")) {
            const DocumentViewport& v = pin->viewport();
            say(QStringLiteral("viewport pin=%1 origin=%2,%3 scale=%4")
                    .arg(index)
                    .arg(v.screenOrigin().x, 0, 'g', 12)
                    .arg(v.screenOrigin().y, 0, 'g', 12)
                    .arg(v.scale(), 0, 'g', 12));
        }
        return true;
    }

    std::map<QObject*, int> m_paintCounted;
    std::unique_ptr<PlainDrag> m_plainDrag;
    std::shared_ptr<X11FloatingWindows> m_floating = std::make_shared<X11FloatingWindows>();
    std::shared_ptr<OutputService> m_output;
    std::shared_ptr<OutputCoordinator> m_outputs;
    std::shared_ptr<FeedbackCoordinator> m_feedback;
    std::vector<std::unique_ptr<PinWindowController>> m_pins;
    std::set<int> m_announce;
    std::set<QObject*> m_waiting;
    QString m_answer;
    QElapsedTimer m_timing;
    std::unique_ptr<PlainZoom> m_plain;
    int m_timingGeneration = 0;
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
