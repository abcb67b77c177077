// Reopening the kept capture ("继续上次截图") on the displays it was taken on.
#include "app/shell/AppCoordinator.h"

#include "app/shell/PinRequestRoad.h"
#include "platform/CapturePlatform.h"

#include <QSet>

namespace vorlith {

QString AppCoordinator::recoveryMismatchMessage() { return QStringLiteral("原截图的显示器已改变"); }
QString AppCoordinator::recoveryMismatchDetail()
{
    return QStringLiteral("未完成截图仍保留。请恢复原显示器配置后再次找回。");
}

bool AppCoordinator::displaysMatch(const RecoveredCapture& recovery) const
{
    // A screen the capture platform cannot name is not one a capture could have been taken on.
    std::vector<ScreenInfo> screens;
    for (const ScreenInfo& screen : m_services.capturePlatform->screens()) {
        if (screen.displayID)
            screens.push_back(screen);
    }
    QSet<quint32> current;
    for (const ScreenInfo& screen : screens)
        current.insert(*screen.displayID);
    QSet<quint32> kept;
    for (const FrozenDisplay& frame : recovery.frames)
        kept.insert(frame.id);
    if (current != kept)
        return false;
    for (const FrozenDisplay& frame : recovery.frames) {
        const bool found = std::any_of(screens.begin(), screens.end(), [&](const ScreenInfo& screen) {
            return *screen.displayID == frame.id && screen.frame == frame.screenFrame && screen.scale == frame.backingScale;
        });
        if (!found)
            return false;
    }
    return true;
}

void AppCoordinator::showRecoveryMismatch()
{
    showError(recoveryMismatchMessage(), recoveryMismatchDetail(), false);
}

void AppCoordinator::recoverCapture()
{
    // Every refusal is silent, but for the pin road's own notice.
    if (!m_pinRoad->mayStartNewImage())
        return;
    if (hasOverlays() || captureRunning() || settingsSheetAttached() || m_presentingAlert || m_terminationFrozen
        || hasImportTask() || hasPinRequestTask() || m_outputs->isBusy())
        return;
    if (m_pins && !m_pins->settleForCapture())
        return;
    if (!m_recoveryStore->current())
        return;
    // A copy: the store may change while the capture is open.
    const RecoveredCapture recovery = *m_recoveryStore->current();
    if (!displaysMatch(recovery)) {
        // Nothing was taken yet, so nothing is given back; the recovery stays.
        showRecoveryMismatch();
        return;
    }
    rememberFrontApplication();
    takeCaptureLeases();
    // No new screenshot: no generation, no reservation, no own-window list, no key to
    // suppress. After the check every kept frame has its display.
    showOverlays(recovery.frames, recovery);
}

} // namespace vorlith
