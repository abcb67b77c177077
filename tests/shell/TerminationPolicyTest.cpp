#include "app/shell/TerminationPolicy.h"
#include "core/Uuid.h"

#include <gtest/gtest.h>

using namespace vorlith;

namespace {

QUuid id(const char* text)
{
    return *parseUuid(QString::fromLatin1(text));
}

QSet<QUuid> someIDs(int count)
{
    QSet<QUuid> ids;
    while (ids.size() < count)
        ids.insert(QUuid::createUuid());
    return ids;
}

TerminationSnapshot state(int pending, int pins, bool capture = false, bool output = false, bool settings = false)
{
    return {7, someIDs(pending), someIDs(pins), capture, output, settings};
}

constexpr auto quit = TerminationIntent::quit;
constexpr auto update = TerminationIntent::installUpdate;

} // namespace

TEST(TerminationSnapshot, EqualOnlyWhenEveryFieldIs)
{
    const TerminationSnapshot base = state(2, 3);
    EXPECT_EQ(base, base);
    const std::vector<std::function<void(TerminationSnapshot&)>> changes = {
        [](TerminationSnapshot& s) { ++s.epoch; },
        [](TerminationSnapshot& s) { s.pendingImageIDs.insert(QUuid::createUuid()); },
        [](TerminationSnapshot& s) { s.openPinIDs.erase(s.openPinIDs.begin()); },
        [](TerminationSnapshot& s) { s.captureActive = true; },
        [](TerminationSnapshot& s) { s.outputBusy = true; },
        [](TerminationSnapshot& s) { s.settingsDirty = true; },
    };
    for (size_t i = 0; i < changes.size(); ++i) {
        TerminationSnapshot changed = base;
        changes[i](changed);
        EXPECT_NE(changed, base) << "change " << i;
    }
}

TEST(TerminationPolicy, StandingApprovalNeedsTheSameIntentTheSameStateAndTheFreeze)
{
    const TerminationSnapshot reviewed = state(1, 2);
    TerminationSnapshot later = reviewed;
    ++later.epoch;
    const TerminationApproval approvedQuit{quit, reviewed};
    struct Case {
        std::optional<TerminationApproval> approved;
        TerminationIntent intent;
        TerminationSnapshot now;
        bool frozen;
        bool holds;
    };
    const Case cases[] = {
        {approvedQuit, quit, reviewed, true, true},
        {std::nullopt, quit, reviewed, true, false},
        {approvedQuit, update, reviewed, true, false},
        {approvedQuit, quit, later, true, false},
        {approvedQuit, quit, reviewed, false, false},
        {TerminationApproval{update, reviewed}, update, reviewed, true, true},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(TerminationPolicy::standingApprovalHolds(c.approved, c.intent, c.now, c.frozen), c.holds) << "case " << i;
    }
}

TEST(TerminationPolicy, RefusesAnOutputAlwaysAndACaptureOrUnsavedSettingsOnlyForAnUpdate)
{
    struct Case {
        TerminationIntent intent;
        bool capture, output, settings;
        const char* notice; // null: not refused
    };
    const Case cases[] = {
        {quit, false, false, false, nullptr},
        {update, false, false, false, nullptr},
        {quit, false, true, false, "请先完成或取消当前输出。"},
        {update, true, true, true, "请先完成或取消当前输出。"},
        {quit, true, false, true, nullptr},
        {update, true, false, false, "请先完成或退出当前截图，再安装更新。"},
        {update, true, false, true, "请先完成或退出当前截图，再安装更新。"},
        {update, false, false, true, "请先保存或取消设置修改，再安装更新。"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::optional<QString> notice =
            TerminationPolicy::refusal(c.intent, state(1, 1, c.capture, c.output, c.settings));
        if (!c.notice)
            EXPECT_FALSE(notice) << "case " << i << ": " << notice.value_or(QString()).toStdString();
        else
            EXPECT_EQ(notice, QString::fromUtf8(c.notice)) << "case " << i;
    }
}

TEST(TerminationPolicy, ReviewAlertTakesThePendingFormWhateverThePinsElseThePinsOnlyForm)
{
    EXPECT_FALSE(TerminationPolicy::needsReview(state(0, 0, true, false, true)));
    struct Case {
        TerminationIntent intent;
        int pending, pins;
        const char* message;
        const char* informative;
        const char* second;
    };
    const Case cases[] = {
        {quit, 2, 3, "还有未复制或保存的内容",
         "有2张图片尚未完成输出。点击下方缩略图可返回处理；退出后无法找回，贴图下次启动也不会恢复。", "退出并丢弃"},
        {update, 1, 0, "还有未复制或保存的内容",
         "有1张图片尚未完成输出。点击下方缩略图可返回处理；退出后无法找回，贴图下次启动也不会恢复。", "丢弃并安装"},
        {quit, 12, 0, "还有未复制或保存的内容",
         "有12张图片尚未完成输出。点击下方缩略图可返回处理；退出后无法找回，贴图下次启动也不会恢复。", "退出并丢弃"},
        {quit, 0, 3, "关闭贴图并退出？", "当前打开的3张贴图已输出。下次启动时，这些窗口不会自动恢复。", "关闭并退出"},
        {update, 0, 2, "关闭贴图并安装更新？", "当前打开的2张贴图已输出。下次启动时，这些窗口不会自动恢复。", "关闭并安装"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const TerminationSnapshot s = state(c.pending, c.pins);
        EXPECT_TRUE(TerminationPolicy::needsReview(s)) << "case " << i;
        const Alert alert = TerminationPolicy::reviewAlert(c.intent, s);
        EXPECT_EQ(alert.message, QString::fromUtf8(c.message)) << "case " << i;
        EXPECT_EQ(alert.informativeText, QString::fromUtf8(c.informative)) << "case " << i;
        EXPECT_EQ(alert.buttons, (QStringList{QStringLiteral("返回处理"), QString::fromUtf8(c.second)})) << "case " << i;
        EXPECT_EQ(alert.accessory, nullptr);
    }
}

TEST(TerminationPolicy, ApprovesOnlyTheSecondButtonInAnUnchangedState)
{
    const TerminationSnapshot reviewed = state(1, 1);
    TerminationSnapshot changed = reviewed;
    changed.pendingImageIDs.insert(QUuid::createUuid());
    EXPECT_TRUE(TerminationPolicy::approvedAfterReview(Alert::secondButton, reviewed, reviewed));
    EXPECT_FALSE(TerminationPolicy::approvedAfterReview(Alert::secondButton, reviewed, changed));
    EXPECT_FALSE(TerminationPolicy::approvedAfterReview(Alert::firstButton, reviewed, reviewed));
    // A thumbnail's click ends the alert with neither button.
    EXPECT_FALSE(TerminationPolicy::approvedAfterReview(-1001, reviewed, reviewed));
}

TEST(TerminationPolicy, GoingBackLocatesTheClickedImageElseTheFirstInUuidStringOrder)
{
    // QUuid's own order compares the variant first and would put the NCS-variant id first; the
    // text order puts the all-zero prefix first.
    const QUuid ncs = id("00000001-0000-0000-0000-000000000000");
    const QUuid first = id("00000000-0000-0000-C000-000000000000");
    const QUuid hex = id("0000000A-0000-4000-8000-000000000000");
    ASSERT_LT(ncs, first);
    const QSet<QUuid> pending{hex, ncs, first};
    EXPECT_EQ(TerminationPolicy::sortedByUuidString(pending), (QList<QUuid>{first, ncs, hex}));
    EXPECT_EQ(TerminationPolicy::locateTarget(std::nullopt, pending), first);
    EXPECT_EQ(TerminationPolicy::locateTarget(hex, pending), hex);
    EXPECT_EQ(TerminationPolicy::locateTarget(std::nullopt, {}), std::nullopt);
    EXPECT_TRUE(TerminationPolicy::sortedByUuidString({}).isEmpty());
}
