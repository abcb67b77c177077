// pin_request_harness: the pin and import requests as the application will run them, until
// the entry point and the pin workspace exist. The instance owns the real road (X11 clipboard,
// import service, toasts, the front application, the file manager endpoint) and the
// single-instance server; the pin workspace is stood in for by a record of the pins asked
// for. It is a test program, not part of the application.
//
//   pin_request_harness              the instance: prints "ready socket=PATH", then serves
//   pin_request_harness --pin FILE…  the client of "Open With": hands the files to the
//                                    instance of this display (exit 0), or prints the refusal
//                                    on stderr (exit 1); with no instance it becomes one and
//                                    pins the files after launch
//
// Instance commands (standard input) and answers (standard output):
//   hotkey   -> starts a request as the pin hot key does
//   open     -> shows the open panel ("panel" once it is shown)
//   menu     -> opens the status menu as the tray does ("menu-open" once it is shown; its
//               one item "置顶图片" is the road's pin item), "menu-closed" when it returns
//   state    -> "pin x=X y=Y w=W h=H" per pin, "toast phase=P message=M" per toast,
//               "details TEXT" (lines joined with " | ") for a toast with details, then "end"
//   quit     -> exits
// Unasked lines: "pinned x=X y=Y w=W h=H", "notice MESSAGE", "finished" each time the road
// has no request or import left running (after a request's report).
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
#include "platform/FloatingWindowsFactory.h"
#include "platform/LocalFolderAccess.h"
#include "platform/x11/X11ApplicationFocus.h"
#include "platform/x11/X11CapturePlatform.h"
#include "platform/x11/X11FileManagerEndpoint.h"
#include "platform/x11/X11Pasteboard.h"
#include "harness/HarnessLines.h"
#include "support/FakePinRoadHost.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QSocketNotifier>
#include <QTimer>

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

class Instance : public QObject {
public:
    Instance()
        : m_windows(FloatingWindowsFactory::make())
        , m_store(std::make_shared<ImageResourceStore>(qint64(1) << 30))
        , m_toasts(std::make_shared<FeedbackCoordinator>(m_store, ToastEnvironment::standard()))
        , m_host(m_toasts)
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
        m_host.onPinned = [](const test::FakePinRoadHost::Pin& pin) {
            const Size size = pin.document->source().geometry.size;
            say(QStringLiteral("pinned x=%1 y=%2 w=%3 h=%4").arg(pin.near.x).arg(pin.near.y).arg(size.width).arg(size.height));
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
    void perform(const QString& command)
    {
        if (command == QLatin1String("hotkey")) {
            m_road->beginSmartPin(std::nullopt);
        } else if (command == QLatin1String("menu")) {
            m_road->showStatusMenu();
        } else if (command == QLatin1String("open")) {
            m_road->openAsPin();
            if (m_host.openPanelFinished) {
                QFileDialog* panel = ImageOpenPanel::open(m_windows, nullptr, std::move(m_host.openPanelFinished));
                panel->setDirectory(QDir::currentPath());
                say(QStringLiteral("panel window=%1").arg(panel->winId()));
            }
        } else if (command == QLatin1String("state")) {
            for (const test::FakePinRoadHost::Pin& pin : m_host.pins) {
                const Size size = pin.document->source().geometry.size;
                say(QStringLiteral("pin x=%1 y=%2 w=%3 h=%4").arg(pin.near.x).arg(pin.near.y).arg(size.width).arg(size.height));
            }
            for (const QUuid& id : m_toasts->recordIDs()) {
                const FeedbackCoordinator::Record* record = m_toasts->record(id);
                say(QStringLiteral("toast phase=%1 message=%2").arg(phaseName(record->phase), record->message));
                if (record->renderer->detailsText)
                    say(QStringLiteral("details ") + record->renderer->detailsText->split(QLatin1Char('\n')).join(QStringLiteral(" | ")));
            }
            say(QStringLiteral("end"));
        } else if (command == QLatin1String("quit")) {
            m_road->shutdown();
            QCoreApplication::quit();
        } else {
            say(QStringLiteral("error unknown command ") + command);
        }
    }

    void watchRoad()
    {
        if (!m_road->hasPinRequestTask() && !m_road->hasImportTask())
            say(QStringLiteral("finished"));
    }

    std::shared_ptr<FloatingWindows> m_windows;
    std::shared_ptr<ImageResourceStore> m_store;
    std::shared_ptr<FeedbackCoordinator> m_toasts;
    test::FakePinRoadHost m_host;
    std::unique_ptr<PinRequestRoad> m_road;
    InstanceServer m_server;
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
