// vorlith: the tray program. Builds the coordinator from the session's own services and runs
// the event loop; at the end hands the clipboard to a clipboard manager, since what we own
// vanishes with the process.
#include "app/base/BundleInfo.h"
#include "app/base/Diagnostics.h"
#include "app/base/DialogAlertPresenter.h"
#include "app/base/InterfaceFonts.h"
#include "app/base/JournalSink.h"
#include "app/base/QtTranslations.h"
#include "app/import/ImageProbe.h"
#include "app/settings/SettingsStore.h"
#include "app/shell/AppCoordinator.h"
#include "app/shell/InstanceChannel.h"
#include "app/shell/InstanceServer.h"
#include "app/shell/PinRequestClient.h"
#include "app/shell/PinRequestRoad.h"
#include "app/shell/TerminationSignals.h"
#include "app/shell/VorlithApplication.h"
#include "platform/CapturePlatformFactory.h"
#include "platform/FloatingWindowsFactory.h"
#include "platform/HotKeyRegistrarFactory.h"
#include "platform/LocalFolderAccess.h"
#include "platform/x11/X11ApplicationFocus.h"
#include "platform/x11/X11FileManagerEndpoint.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/x11/X11StatusItemHost.h"
#include "platform/xdg/LoginItemService.h"

#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <cstring>

#include <memory>

using namespace vorlith;

namespace {

CoordinatorServices systemServices(const std::shared_ptr<X11Pasteboard>& pasteboard)
{
    CoordinatorServices services;
    services.capturePlatform = CapturePlatformFactory::make();
    services.hotKeys = HotKeyRegistrarFactory::make();
    services.loginItem = std::make_shared<LoginItemService>(
        LoginItemService::systemConfiguration(QStringLiteral("app.vorlith.Vorlith"), QStringLiteral("Vorlith")),
        &SettingsStore::defaultWriteData);
    services.folderAccess = std::make_shared<LocalFolderAccess>();
    services.pasteboard = pasteboard;
    services.floatingWindows = FloatingWindowsFactory::make();
    services.applicationFocus = std::make_shared<X11ApplicationFocus>();
    services.fileManager = std::make_shared<X11FileManagerEndpoint>();
    services.pinEnvironment = PinEnvironment::system(services.floatingWindows);
    services.statusItem = std::make_shared<X11StatusItemHost>();
    services.alerts = std::make_shared<DialogAlertPresenter>(services.floatingWindows);
    services.bundle = BundleInfo::main();
    return services;
}

// A start without arguments while an instance runs opens that one's menu at the pointer.
// The exit code, or nothing when no instance runs.
std::optional<int> openRunningInstanceMenu(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const PinRequestClient::Outcome outcome = PinRequestClient::sendRequest(
        InstanceChannel::socketPath(), InstanceChannel::menuRequestOf(), InstanceChannel::clientWait);
    switch (outcome.kind) {
    case PinRequestClient::Outcome::Kind::accepted:
        return 0;
    case PinRequestClient::Outcome::Kind::noInstance:
        return std::nullopt;
    case PinRequestClient::Outcome::Kind::refused:
    case PinRequestClient::Outcome::Kind::noAnswer:
        break;
    }
    std::fputs("Vorlith 已在运行，但没有响应。\n", stderr);
    return 1;
}

// Requests of later starts: files to pin, the menu.
void serveLaterStarts(InstanceServer& server, AppCoordinator& coordinator)
{
    QPointer<AppCoordinator> target(&coordinator);
    server.setHandler(InstanceChannel::pinRequest, [target](const QJsonObject& request) {
        const std::optional<QStringList> files = InstanceChannel::pinFiles(request);
        if (!files || !target)
            return InstanceChannel::refused({});
        if (const std::optional<QString> refusal = target->pinRoad().pinServices().pinSelectedImages(*files)) {
            // No program shows a refused request on Linux: say it at the pointer too.
            target->postNotice(*refusal);
            return InstanceChannel::refused(*refusal);
        }
        return InstanceChannel::accepted();
    });
    server.setHandler(InstanceChannel::menuRequest, [target](const QJsonObject&) {
        // Answered at once; the menu runs its own loop on a later turn.
        QTimer::singleShot(0, target, [target] {
            if (target)
                target->showStatusMenuAtPointer();
        });
        return InstanceChannel::accepted();
    });
}

} // namespace

int main(int argc, char** argv)
{
    QStringList launchFiles;
    if (argc > 1 && std::strcmp(argv[1], "--pin") == 0) {
        if (const std::optional<int> exitCode = PinRequestClient::runFromCommandLine(argc, argv, launchFiles))
            return *exitCode;
    } else if (const std::optional<int> exitCode = openRunningInstanceMenu(argc, argv)) {
        return *exitCode;
    }

    VorlithApplication application(argc, argv);
    ImageProbe::applyDecoderAllocationLimit();
    installQtChineseTranslations();
    InterfaceFonts::applyToApplication();
    Diagnostics::setSink(std::make_shared<JournalSink>());

    auto pasteboard = std::make_shared<X11Pasteboard>();
    auto coordinator = std::make_unique<AppCoordinator>(systemServices(pasteboard));
    coordinator->configurePins();

    TerminationSignals terminationSignals;
    terminationSignals.onSignal = [&coordinator](int) { coordinator->requestTermination(); };
    application.onQuitRequested = [&coordinator] { coordinator->requestTermination(); };
    QTimer::singleShot(0, coordinator.get(), [&coordinator] { coordinator->applicationDidFinishLaunching(); });

    InstanceServer server(InstanceChannel::socketPath());
    serveLaterStarts(server, *coordinator);
    switch (server.listen()) {
    case InstanceServer::Start::listening:
        break;
    case InstanceServer::Start::otherInstance:
        // Another start won the race to the socket: this one leaves it the field.
        return 0;
    case InstanceServer::Start::failed:
        Diagnostics::event(QStringLiteral("instance.listen.failed"));
        break;
    }
    // Files a `--pin` start brought when no instance ran: pinned once the program is up.
    if (!launchFiles.isEmpty()) {
        QTimer::singleShot(0, coordinator.get(), [&coordinator, &launchFiles] {
            if (const std::optional<QString> refusal = coordinator->pinRoad().pinServices().pinSelectedImages(launchFiles))
                coordinator->postNotice(*refusal);
        });
    }

    const int code = application.exec();
    pasteboard->handOverToClipboardManager();
    coordinator.reset();
    return code;
}
