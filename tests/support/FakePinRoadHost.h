#pragma once

#include "app/editor/EditorDocument.h"
#include "app/output/feedback/OutputToast.h"
#include "app/shell/PinRoadHost.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace vorlith::test {

// The coordinator and the pin workspace as the pin road sees them: plain flags for every
// guard, a record of pins (at most `limit`, chosen adds refused), notices and calls, a
// scripted status menu and open panel.
class FakePinRoadHost final : public PinRoadHost {
public:
    struct Pin {
        std::shared_ptr<EditorDocument> document;
        Point near;
    };

    explicit FakePinRoadHost(std::shared_ptr<FeedbackCoordinator> toasts) : toast(std::move(toasts)) {}

    bool frozen = false;
    bool captureTask = false;
    bool overlays = false;
    bool alert = false;
    bool sheet = false;
    bool recordingPinShortcut = false;
    bool outputBusy = false;
    bool restoring = false;
    bool settles = true;
    bool hasMenu = true;
    int limit = 10;
    std::set<int> refusedAdds; // 0-based numbers of add calls to refuse

    std::vector<Pin> pins;
    std::vector<std::shared_ptr<EditorDocument>> registered;
    QStringList notices;
    QStringList calls;
    int addCalls = 0;
    std::vector<bool> alertWhileShowingPanel;

    // Runs while the status menu is "open"; empty: the menu closes without a choice.
    std::function<void()> whileMenuOpen;
    // The open panel's finish callback, kept until the test answers it.
    std::function<void(std::optional<QList<QUrl>>)> openPanelFinished;

    OutputToast toast;

    // Told of every pin made and every notice (a harness prints them).
    std::function<void(const Pin&)> onPinned;
    std::function<void(const QString&)> onNotice;
    std::function<void(const QString&)> onCall; // each entry of `calls` as it is made

    // Every guard open again, the records empty.
    void reset()
    {
        frozen = captureTask = overlays = alert = sheet = recordingPinShortcut = outputBusy = restoring = false;
        settles = hasMenu = true;
        notices.clear();
        calls.clear();
    }

    bool terminationFrozen() const override { return frozen; }
    bool hasCaptureTask() const override { return captureTask; }
    bool hasOverlays() const override { return overlays; }
    bool presentingAlert() const override { return alert; }
    void setPresentingAlert(bool presenting) override { alert = presenting; }
    bool settingsSheetAttached() const override { return sheet; }
    bool protectsGlobalPinShortcut() const override { return recordingPinShortcut; }
    bool outputsBusy() const override { return outputBusy; }
    bool pinsRestoringVisibility() const override { return restoring; }
    bool settlePinsForCapture() override
    {
        record(QStringLiteral("settle"));
        return settles;
    }
    bool addPin(std::shared_ptr<EditorDocument> document, const Point& near) override
    {
        const int number = addCalls++;
        if (refusedAdds.count(number) || int(pins.size()) >= limit)
            return false;
        pins.push_back({std::move(document), near});
        if (onPinned)
            onPinned(pins.back());
        return true;
    }
    int pinCount() const override { return int(pins.size()); }
    int pinLimit() const override { return limit; }
    void togglePinVisibility() override { record(QStringLiteral("toggle")); }
    void registerDocument(std::shared_ptr<EditorDocument> document) override { registered.push_back(std::move(document)); }
    void refreshAfterChange() override { record(QStringLiteral("refreshAfterChange")); }
    void refreshResources() override { record(QStringLiteral("refreshResources")); }
    void updateShortcutAvailability() override { record(QStringLiteral("updateShortcutAvailability")); }
    void postNotice(const QString& message) override
    {
        notices << message;
        if (onNotice)
            onNotice(message);
    }
    SaveDraft makeSaveDraft() override { return SaveDraft{}; }
    OutputToast& generalToast() override { return toast; }
    bool canShowStatusMenu() const override { return hasMenu; }
    void runStatusMenu() override
    {
        record(QStringLiteral("menu"));
        if (whileMenuOpen)
            whileMenuOpen();
    }
    void presentOpenPanel(std::function<void(std::optional<QList<QUrl>>)> finished) override
    {
        record(QStringLiteral("panel"));
        openPanelFinished = std::move(finished);
    }

private:
    void record(const QString& call)
    {
        calls << call;
        if (onCall)
            onCall(call);
    }
};

} // namespace vorlith::test
