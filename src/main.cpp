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

#include <QTimer>

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

} // namespace

int main(int argc, char** argv)
{
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

    const int code = application.exec();
    pasteboard->handOverToClipboardManager();
    coordinator.reset();
    return code;
}
