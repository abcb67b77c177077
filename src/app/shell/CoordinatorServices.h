#pragma once

#include "app/output/feedback/ToastEnvironment.h"
#include "app/pins/PinEnvironment.h"
#include "app/settings/SettingsStore.h"
#include "app/updates/UpdateService.h"
#include "core/Geometry.h"

#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

namespace vorlith {

class AlertPresenter;
class ApplicationFocus;
class CapturePlatform;
class CoordinatorPins;
class FileManagerEndpoint;
class FloatingWindows;
class FolderAccess;
class HotKeyRegistering;
class LoginItemManaging;
class Pasteboard;
class StatusItemHost;

// Every service the coordinator is made with: the session's own from the entry point
// (CoordinatorServices::system in main.cpp), fakes in tests. The coordinator owns what it
// makes from them for the life of the process.
struct CoordinatorServices {
    std::shared_ptr<CapturePlatform> capturePlatform;
    std::shared_ptr<HotKeyRegistering> hotKeys;
    // The settings file and its write; absent: the user's file and the atomic write.
    std::optional<QString> settingsFile;
    SettingsStore::WriteData writeSettings;
    std::shared_ptr<LoginItemManaging> loginItem;
    std::shared_ptr<FolderAccess> folderAccess;
    std::shared_ptr<Pasteboard> pasteboard; // the one clipboard every output shares
    std::shared_ptr<FloatingWindows> floatingWindows;
    std::shared_ptr<ApplicationFocus> applicationFocus;
    std::shared_ptr<StatusItemHost> statusItem;
    std::shared_ptr<AlertPresenter> alerts;
    // The file manager whose selection pin requests may read.
    std::shared_ptr<FileManagerEndpoint> fileManager;
    // The pinned images. Absent: a pin workspace on `pinEnvironment`, or none without one.
    std::shared_ptr<CoordinatorPins> pins;
    std::optional<PinEnvironment> pinEnvironment;
    // The memory budget's limit; absent: min(physical memory / 8, 1 GiB).
    std::optional<qint64> memoryLimit;
    QVariantMap bundle;                    // the program's bundle values (BundleInfo::main())
    UpdateService::MakeEngine makeEngine;  // absent: the feed engine
    // Where toasts go; absent: the floating windows above and the capture platform's screens.
    std::optional<ToastEnvironment> toasts;
    // The pointer in global logical coordinates (notices appear there).
    std::function<Point()> pointer;
    // Whether this application is the active one (one of its windows has the keyboard).
    std::function<bool()> isApplicationActive;
    // Prepare the first capture while idle after launch (WarmStart); tests that count
    // windows and grabs switch it off.
    bool warmStart = true;
};

} // namespace vorlith
