#pragma once

#include "app/capture/FrozenDisplay.h"
#include "app/editor/EditorHostView.h"
#include "app/editor/RecoveredCapture.h"
#include "app/output/SaveDraft.h"

#include <QtGlobal>

#include <memory>
#include <optional>
#include <vector>

namespace vorlith {

class FeedbackCoordinator;
class OutputCoordinator;
class OutputService;

// The editor of one display during a capture: an EditorHostView (never pinned) bound to the
// display's frozen picture. Each capture makes new ones; the capture overlay window that
// hosts it outlives it.
class OverlayView final : public EditorHostView {
    Q_OBJECT
public:
    // `frontPID`: the process that was in front when the capture began; its first window
    // candidate on this display is preselected, else the whole display. `restoring` reopens an
    // unfinished capture; only the editor of the display it belongs to receives it.
    OverlayView(FrozenDisplay capture, std::optional<qint32> frontPID, SaveDraft saveDraft,
                std::shared_ptr<OutputService> output = {}, std::shared_ptr<OutputCoordinator> outputs = {},
                const std::optional<RecoveredCapture>& restoring = std::nullopt,
                std::shared_ptr<FeedbackCoordinator> feedback = {}, Environment environment = {},
                QWidget* parent = nullptr);

    const FrozenDisplay& capture() const { return m_capture; }

    // The first window candidate owned by `frontPID`, else the whole display.
    [[nodiscard]] static Rect preselection(const FrozenDisplay& capture, std::optional<qint32> frontPID);

    // What reopening this capture later needs, taken now: none without a committed screen
    // capture document, nor (unless `afterOutput`: it was just copied or saved) when the
    // document has no valid selection with a mark edit.
    [[nodiscard]] std::optional<RecoveredCapture> recovery(std::vector<FrozenDisplay> frames, bool afterOutput) const;

private:
    static std::shared_ptr<EditorDocument> makeRecord(const FrozenDisplay& capture, std::optional<qint32> frontPID,
                                                      SaveDraft saveDraft, const std::optional<RecoveredCapture>& restoring);

    const FrozenDisplay m_capture;
};

} // namespace vorlith
