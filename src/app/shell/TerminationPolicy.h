#pragma once

#include "app/shell/TerminationSnapshot.h"
#include "platform/AlertPresenter.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace vorlith {

// The decisions of the quit and update-install gate that depend only on values: whether a
// standing approval still holds, which refusal a state earns, the review alert's texts, whether
// the review approved, and which image to bring back when it did not. The coordinator owns the
// freeze, the snapshots and the alert itself, and asks these in order.
class TerminationPolicy {
public:
    TerminationPolicy() = delete;

    static constexpr const char* dragNotice = "请先完成或取消当前拖动，再退出或安装更新。";
    static constexpr const char* outputNotice = "请先完成或取消当前输出。";
    static constexpr const char* captureNotice = "请先完成或退出当前截图，再安装更新。";
    static constexpr const char* settingsNotice = "请先保存或取消设置修改，再安装更新。";
    // Going back to the kept capture while another capture is on screen.
    static constexpr const char* recoveryBlockedNotice = "请先处理当前截图，再从菜单找回这张未完成截图。";
    static constexpr const char* goBackButton = "返回处理";

    // True when an earlier approval answers this request at once: same intent, the state it
    // approved is unchanged, and the interface is still frozen.
    [[nodiscard]] static bool standingApprovalHolds(const std::optional<TerminationApproval>& approved,
                                                    TerminationIntent intent, const TerminationSnapshot& now,
                                                    bool frozen);

    // The notice that refuses the request in this state, or none. An output refuses both
    // intents; a running capture (or import, or pin request) and unsaved settings refuse only an
    // update, the capture first.
    [[nodiscard]] static std::optional<QString> refusal(TerminationIntent intent, const TerminationSnapshot& state);

    // True when the user must be asked: images not yet output, or pins open.
    [[nodiscard]] static bool needsReview(const TerminationSnapshot& state);

    // The review alert for a state that needs review: the pending-image form whenever an image
    // is pending (pins or not), else the pins-only form. Buttons: go back first, then the
    // intent's own. The accessory (the thumbnails) is the caller's.
    [[nodiscard]] static Alert reviewAlert(TerminationIntent intent, const TerminationSnapshot& state);

    // The review approved: the intent's own button was chosen and nothing changed while the
    // alert was up.
    [[nodiscard]] static bool approvedAfterReview(int response, const TerminationSnapshot& reviewed,
                                                  const TerminationSnapshot& now);

    // The image to bring back after going back: the clicked one, else the first pending id in
    // `uuidString` order, else none.
    [[nodiscard]] static std::optional<QUuid> locateTarget(const std::optional<QUuid>& selected,
                                                           const QSet<QUuid>& pending);

    // The ids ascending by their upper-case canonical text.
    [[nodiscard]] static QList<QUuid> sortedByUuidString(const QSet<QUuid>& ids);
};

} // namespace vorlith
