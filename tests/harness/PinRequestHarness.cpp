// pin_request_harness: the pin and import requests as the application will run them, until
// the entry point exists. The instance owns the real road (X11 clipboard, import service,
// toasts, the front application, the file manager endpoint), a real pin workspace whose pins
// are the application's windows, and the single-instance server; the coordinator's guards are
// plain flags, all open. It is a test program, not part of the application.
//
//   pin_request_harness              the instance: prints "ready socket=PATH", then serves
//   pin_request_harness --pin FILE…  the client of "Open With": hands the files to the
//                                    instance of this display (exit 0), or prints the refusal
//                                    on stderr (exit 1); with no instance it becomes one and
//                                    pins the files after launch
//
// Instance commands (standard input) and answers (standard output):
//   hotkey   -> starts a request as the pin hot key does (the instance also holds the default
//               pin chord, F2, as a global hot key: a press of it does the same)
//   open     -> shows the open panel ("panel window=XID" once it is shown)
//   menu     -> opens the status menu as the tray does ("menu-open" once it is shown; its
//               one item "置顶图片" is the road's pin item), "menu-closed" when it returns
//   pin-file FILE [at=X,Y]
//            -> "pinning ok=0|1": the road imports the file into a pin centred at the point
//               (logical; default: the pointer), as the open panel's choice would
//   close-pins -> "closed-pins": every pin removed
//   plain-file FILE frame=X,Y,W,H
//            -> "plain-shown": the baseline of a pin, the file read by QImageReader and shown
//               scaled into a plain frameless QWidget at the frame (logical)
//   plain-close -> "plain-closed"
//   state    -> "pin index=N content=XID frame=X,Y,W,H" (server pixels) per pin,
//               "toast phase=P message=M" per toast, "details TEXT" (lines joined with " | ")
//               for a toast with details, "toast-button TITLE rect=X,Y,W,H" (server pixels)
//               for a toast's visible button, "access N" (requests whose file access is
//               open), then "end"
//   quit     -> exits
// Unasked lines: "pinned x=X y=Y w=W h=H content=XID" (the point asked for and the image's
// size), "notice MESSAGE", "finished" each time the road has no request or import left running
// (after a request's report).
#include "app/base/QtTranslations.h"
#include "app/import/ImageImportService.h"
#include "app/import/ImageProbe.h"
#include "app/output/feedback/FeedbackCoordinator.h"
#include "app/output/feedback/OutputToastRenderer.h"
#include "app/shell/ImageOpenPanel.h"
#include "app/shell/InstanceChannel.h"
#include "app/shell/InstanceServer.h"
#include "app/shell/PinRequestClient.h"
#include "app/shell/PinRequestRoad.h"
#include "app/pins/PinWindowController.h"
#include "app/pins/PinWorkspace.h"
#include "platform/HotKeyRegistrarFactory.h"
#include "platform/LocalFolderAccess.h"
#include "platform/x11/X11ApplicationFocus.h"
#include "platform/x11/X11CapturePlatform.h"
#include "platform/x11/X11FileManagerEndpoint.h"
#include "platform/x11/X11Pasteboard.h"
#include "harness/HarnessLines.h"
#include "harness/PinHosts.h"
#include "support/FakePinRoadHost.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QPushButton>
#include <QMenu>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace vorlith {
namespace {

using harness::say;

QString phaseName(FeedbackCoordinator::Phase phase)
{
    switch (phase) {
    case FeedbackCoordinator::Phase::working: return QStringLiteral("working");
    case FeedbackCoordinator::Phase::suspended: return QStringLiteral("suspended");
    case FeedbackCoordinator::Phase::success: return QStringLiteral("success");
    case FeedbackCoordinator::Phase::notice: return QStringLiteral("notice");
    case FeedbackCoordinator::Phase::failure: return QStringLiteral("failure");
    }
    return {};
}

// The road's host: the coordinator's guards as the fake's flags (all open), the pins a real
// workspace.
class WorkspaceRoadHost final : public test::FakePinRoadHost {
public:
    WorkspaceRoadHost(std::shared_ptr<FeedbackCoordinator> toasts, PinWorkspace& workspace,
                      std::shared_ptr<ImageResourceStore> store)
        : FakePinRoadHost(std::move(toasts)), m_workspace(workspace), m_store(std::move(store))
    {
    }

    // The budget counts the sources of the open pins, as the coordinator tells it after
    // every change: a closed pin's image no longer counts.
    void refreshResources() override
    {
        QHash<QUuid, qint64> sources;
        for (const PinWorkspace::Entry& entry : m_workspace.windows()) {
            const EditorImageSource& source = entry.controller->document().source();
            sources.insert(source.id, ImageResourceStore::SourceImage::of(source.id, source.image).bytes());
        }
        m_store->setSources(std::move(sources));
        m_store->setPinCount(qint64(m_workspace.windows().size()));
    }

    std::function<void(const EditorDocument& document, const Point& near)> onAdded;

    bool pinsRestoringVisibility() const override
    {
        const auto& pins = m_workspace.windows();
        return std::any_of(pins.begin(), pins.end(),
                           [](const PinWorkspace::Entry& entry) { return entry.controller->isRestoringVisibility(); });
    }
    bool settlePinsForCapture() override { return m_workspace.settleForCapture(); }
    bool addPin(std::shared_ptr<EditorDocument> document, const Point& near) override
    {
        const std::shared_ptr<EditorDocument> added = document;
        if (!m_workspace.add(std::move(document), near))
            return false;
        if (onAdded)
            onAdded(*added, near);
        return true;
    }
    // The document lives as long as its pin: the workspace holds it, nothing here keeps it.
    void registerDocument(std::shared_ptr<EditorDocument>) override {}
    int pinCount() const override { return int(m_workspace.windows().size()); }
    int pinLimit() const override { return PinWorkspace::maximumPins; }
    void togglePinVisibility() override { m_workspace.toggleVisibility(); }

private:
    PinWorkspace& m_workspace;
    std::shared_ptr<ImageResourceStore> m_store;
};

std::optional<QRect> rectOption(const QStringList& words, const QString& name)
{
    const QStringList parts = harness::option(words, name).split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    return QRect(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt());
}

ToastEnvironment toastEnvironment(std::shared_ptr<FloatingWindows> windows)
{
    ToastEnvironment environment = ToastEnvironment::standard();
    environment.windows = std::move(windows); // one stacking order with the pins and the panel
    return environment;
}

class Instance : public QObject {
public:
    Instance()
        : m_workspace(m_pinHosts.environment())
        , m_store(std::make_shared<ImageResourceStore>(qint64(1) << 30))
        , m_toasts(std::make_shared<FeedbackCoordinator>(m_store, toastEnvironment(m_pinHosts.floating)))
        , m_host(m_toasts, m_workspace, m_store)
        , m_server(InstanceChannel::socketPath())
        , m_input([this](const QString& line) { perform(line); }, {}) // without input it keeps serving
    {
        auto platform = std::make_shared<X11CapturePlatform>();
        auto focus = std::make_shared<X11ApplicationFocus>();
        auto access = std::make_shared<LocalFolderAccess>();
        auto reader = std::make_shared<FinderSelectionReader>(
            std::make_shared<X11FileManagerEndpoint>(), FinderSelectionReader::focusIdentity(focus),
            [] { return !QGuiApplication::screens().isEmpty(); });
        m_road = std::make_unique<PinRequestRoad>(
            m_host, PinRequestRoad::Services{std::make_shared<ImageImportService>(m_store, access),
                                              std::make_shared<X11Pasteboard>(),
                                              std::make_shared<PinRequestCoordinator>(reader),
                                              PinOriginEnvironment::system(focus, platform), access});
        m_workspace.makeHost = [this](std::shared_ptr<EditorDocument> document) {
            return m_pinHosts.makeHost(std::move(document));
        };
        m_workspace.onClosed = [this](std::shared_ptr<EditorDocument>) { m_host.refreshResources(); };
        m_host.onAdded = [this](const EditorDocument& document, const Point& near) {
            const Size size = document.source().geometry.size;
            say(QStringLiteral("pinned x=%1 y=%2 w=%3 h=%4 content=%5")
                    .arg(near.x)
                    .arg(near.y)
                    .arg(size.width)
                    .arg(size.height)
                    .arg(harness::xid(m_workspace.pin(document.id())->contentWindow())));
        };
        m_host.onNotice = [this](const QString& message) {
            say(QStringLiteral("notice ") + message);
            m_host.toast.showNotice(message, m_road->origins().pointer());
        };
        m_server.setHandler(InstanceChannel::pinRequest, m_road->pinRequestHandler());
        // The road refreshes after each of its tasks ends; the report follows in the same turn.
        // The tray's menu as the program will run it: QMenu::exec, the road's steps after it.
        m_host.whileMenuOpen = [this] {
            QMenu menu;
            QAction* pin = menu.addAction(QStringLiteral("置顶图片"));
            connect(pin, &QAction::triggered, m_road.get(), [this] { m_road->pasteAsPin(); });
            connect(&menu, &QMenu::aboutToShow, this, [] { QTimer::singleShot(100, [] { say(QStringLiteral("menu-open")); }); });
            const Point at = m_road->origins().pointer();
            menu.exec(QPoint(int(at.x), int(at.y)));
            say(QStringLiteral("menu-closed"));
        };
        m_host.onCall = [this](const QString& call) {
            if (call == QLatin1String("refreshAfterChange"))
                QTimer::singleShot(0, this, [this] { watchRoad(); });
        };
    }

    bool start()
    {
        const InstanceServer::Start started = m_server.listen();
        if (started != InstanceServer::Start::listening) {
            say(started == InstanceServer::Start::otherInstance ? QStringLiteral("error another instance runs")
                                                                : QStringLiteral("error cannot listen"));
            return false;
        }
        holdPinHotKey();
        say(QStringLiteral("ready socket=") + m_server.socketPath());
        return true;
    }

    // The files a client brought when no instance ran: handled once the instance is up.
    void pinAfterLaunch(const QStringList& files)
    {
        QTimer::singleShot(0, this, [this, files] {
            if (const std::optional<QString> refusal = m_road->pinServices().pinSelectedImages(files))
                m_host.postNotice(*refusal);
        });
    }

private:
    void perform(const QString& line)
    {
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString command = words.value(0);
        if (command == QLatin1String("hotkey")) {
            m_road->beginSmartPin(std::nullopt);
        } else if (command == QLatin1String("menu")) {
            m_road->showStatusMenu();
        } else if (command == QLatin1String("open")) {
            m_road->openAsPin();
            if (m_host.openPanelFinished) {
                QFileDialog* panel = ImageOpenPanel::open(m_pinHosts.floating, nullptr, std::move(m_host.openPanelFinished));
                panel->setDirectory(QDir::currentPath());
                say(QStringLiteral("panel window=%1").arg(panel->winId()));
            }
        } else if (command == QLatin1String("pin-file")) {
            pinFile(words);
        } else if (command == QLatin1String("close-pins")) {
            for (const PinWorkspace::Entry& entry : std::vector<PinWorkspace::Entry>(m_workspace.windows()))
                m_workspace.remove(entry.id);
            say(QStringLiteral("closed-pins"));
        } else if (command == QLatin1String("plain-file")) {
            showPlain(words);
        } else if (command == QLatin1String("plain-close")) {
            m_plain.reset();
            say(QStringLiteral("plain-closed"));
        } else if (command == QLatin1String("state")) {
            int index = 0;
            for (const PinWorkspace::Entry& entry : m_workspace.windows())
                say(QStringLiteral("pin index=%1 content=%2 frame=%3")
                        .arg(index++)
                        .arg(harness::xid(entry.controller->contentWindow()),
                             harness::nativeRectText(entry.controller->contentWindow())));
            for (const QUuid& id : m_toasts->recordIDs()) {
                const FeedbackCoordinator::Record* record = m_toasts->record(id);
                say(QStringLiteral("toast phase=%1 message=%2").arg(phaseName(record->phase), record->message));
                if (record->renderer->detailsText)
                    say(QStringLiteral("details ") + record->renderer->detailsText->split(QLatin1Char('\n')).join(QStringLiteral(" | ")));
                if (const QPushButton* button = record->renderer->button(); button && button->isVisible())
                    say(QStringLiteral("toast-button %1 rect=%2").arg(button->text(), harness::nativeRectText(button)));
            }
            say(QStringLiteral("access %1").arg(m_road->pinServices().access().size()));
            say(QStringLiteral("end"));
        } else if (command == QLatin1String("quit")) {
            m_road->shutdown();
            QCoreApplication::quit();
        } else {
            say(QStringLiteral("error unknown command ") + command);
        }
    }

    // The pin chord as the settings define it by default; a display where another program
    // holds it keeps only the command.
    void holdPinHotKey()
    {
        m_hotKeys = HotKeyRegistrarFactory::make();
        m_hotKeys->onEvent = [this](quint32, bool pressed) {
            if (pressed)
                m_road->beginSmartPin(std::nullopt);
        };
        try {
            m_hotKeys->registerHotKey(ShortcutSpec::defaultPin(), 1);
        } catch (const HotKeyRegistrationError& error) {
            say(QStringLiteral("error pin hot key refused status=%1").arg(error.status));
        }
    }

    void pinFile(const QStringList& words)
    {
        std::optional<Point> at;
        if (const QStringList p = harness::option(words, QStringLiteral("at")).split(QLatin1Char(',')); p.size() == 2)
            at = Point{p[0].toDouble(), p[1].toDouble()};
        const QList<QUrl> urls{QUrl::fromLocalFile(QFileInfo(words.value(1)).absoluteFilePath())};
        const bool started = m_road->beginImport(urls, std::nullopt, at, std::nullopt, std::nullopt);
        say(QStringLiteral("pinning ok=%1").arg(int(started)));
    }

    void showPlain(const QStringList& words)
    {
        const std::optional<QRect> frame = rectOption(words, QStringLiteral("frame"));
        QImageReader reader(words.value(1));
        QImage image = reader.read();
        if (!frame || image.isNull()) {
            say(QStringLiteral("error cannot show ") + words.value(1));
            return;
        }
        m_plain = std::make_unique<harness::PlainImage>(std::move(image));
        m_plain->setGeometry(*frame);
        m_plain->show();
        say(QStringLiteral("plain-shown"));
    }

    void watchRoad()
    {
        if (!m_road->hasPinRequestTask() && !m_road->hasImportTask())
            say(QStringLiteral("finished"));
    }

    harness::PinHostServices m_pinHosts;
    PinWorkspace m_workspace;
    std::shared_ptr<ImageResourceStore> m_store;
    std::shared_ptr<FeedbackCoordinator> m_toasts;
    WorkspaceRoadHost m_host;
    std::unique_ptr<PinRequestRoad> m_road;
    InstanceServer m_server;
    std::unique_ptr<harness::PlainImage> m_plain;
    std::shared_ptr<HotKeyRegistering> m_hotKeys;
    harness::InputLines m_input;
};

} // namespace
} // namespace vorlith

int main(int argc, char** argv)
{
    QStringList launchFiles;
    if (argc > 1 && std::strcmp(argv[1], "--pin") == 0) {
        if (const std::optional<int> exitCode = vorlith::PinRequestClient::runFromCommandLine(argc, argv, launchFiles))
            return *exitCode;
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    vorlith::ImageProbe::applyDecoderAllocationLimit();
    vorlith::installQtChineseTranslations();
    vorlith::Instance instance;
    if (!instance.start())
        return 2;
    if (!launchFiles.isEmpty())
        instance.pinAfterLaunch(launchFiles);
    return app.exec();
}
