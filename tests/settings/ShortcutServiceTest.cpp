#include "app/settings/HotKeyError.h"
#include "app/settings/ShortcutService.h"
#include "support/FakeHotKeyRegistrar.h"
#include "support/MemoryLogSink.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

const ShortcutSpec f1{122, 0, QStringLiteral("F1")};
const ShortcutSpec f2{120, 0, QStringLiteral("F2")};
const ShortcutSpec f3{99, 0, QStringLiteral("F3")};

struct ServiceFixture {
    ScopedLogCapture log;
    std::shared_ptr<FakeHotKeyRegistrar> registrar = std::make_shared<FakeHotKeyRegistrar>();
    ShortcutService service{registrar};
    std::vector<ShortcutAction> pressed;

    ServiceFixture()
    {
        service.onActionPressed = [this](ShortcutAction a) { pressed.push_back(a); };
    }
    void bindDefaults() { service.registerActions({{ShortcutAction::capture, f1}, {ShortcutAction::pin, f2}}); }
    quint32 idOf(ShortcutAction action) const { return service.registrations().at(action).id; }
};

} // namespace

TEST(ShortcutService, OneActionPerPhysicalPress)
{
    ServiceFixture f;
    f.bindDefaults();
    const quint32 capture = f.idOf(ShortcutAction::capture);
    f.registrar->press(capture);
    f.registrar->press(capture); // repeats while held
    f.registrar->press(capture);
    EXPECT_EQ(f.pressed, std::vector{ShortcutAction::capture});
    f.registrar->release(capture);
    f.registrar->press(capture);
    f.registrar->press(f.idOf(ShortcutAction::pin));
    EXPECT_EQ(f.pressed, (std::vector{ShortcutAction::capture, ShortcutAction::capture, ShortcutAction::pin}));
    EXPECT_EQ(f.log.events().count(QStringLiteral("hotkey.pressed")), 3);
}

TEST(ShortcutService, PlainCallbackServesCaptureOnly)
{
    ServiceFixture f;
    f.service.onActionPressed = nullptr;
    int captures = 0;
    f.service.onPressed = [&] { ++captures; };
    f.bindDefaults();
    f.registrar->press(f.idOf(ShortcutAction::pin));
    f.registrar->press(f.idOf(ShortcutAction::capture));
    EXPECT_EQ(captures, 1);
}

TEST(ShortcutService, EqualChordsLeavePinFailed)
{
    ServiceFixture f;
    try {
        f.service.registerActions({{ShortcutAction::capture, f1}, {ShortcutAction::pin, f1}});
        ADD_FAILURE() << "no error";
    } catch (const HotKeyError& e) {
        EXPECT_EQ(e.code(), 1);
    }
    EXPECT_TRUE(f.service.registrations().contains(ShortcutAction::capture));
    EXPECT_FALSE(f.service.registrations().contains(ShortcutAction::pin));
    EXPECT_EQ(f.service.registrationError(),
              QStringLiteral("图片置顶：截图和图片置顶不能使用相同快捷键，请修改其中一项。"));
    EXPECT_EQ(f.service.bindings().size(), 2u) << "both chords are remembered, registered or not";
}

TEST(ShortcutService, TakenChordsAreListedPerAction)
{
    ServiceFixture f;
    f.registrar->taken = {{122, 0}, {120, 0}};
    EXPECT_THROW(f.bindDefaults(), HotKeyError);
    EXPECT_EQ(f.service.registrationError(),
              QStringLiteral("截图：无法注册该快捷键，可能已被系统或其他应用占用。请换一个按键。\n"
                             "图片置顶：无法注册该快捷键，可能已被系统或其他应用占用。请换一个按键。"));
    EXPECT_EQ(f.log.events(), (QStringList{"hotkey.register.status=10", "hotkey.register.status=10"}));
}

TEST(ShortcutService, SuspendReleasesAndResumeWaitsForTheKeyToBeUp)
{
    ServiceFixture f;
    f.bindDefaults();
    const quint32 old = f.idOf(ShortcutAction::capture);
    f.registrar->keysDown.insert(122); // F1 held while the capture starts
    f.service.setSuspended(true, {ShortcutAction::capture});
    EXPECT_FALSE(f.registrar->active.contains(old));
    f.registrar->press(old); // an event already on its way
    EXPECT_TRUE(f.pressed.empty());

    f.log.sink().clear();
    f.service.setSuspended(true, {ShortcutAction::capture});
    EXPECT_TRUE(f.log.events().isEmpty()) << "suspending again changes nothing";

    f.service.setSuspended(false, {ShortcutAction::capture});
    EXPECT_FALSE(f.service.registrations().contains(ShortcutAction::capture));
    EXPECT_TRUE(f.service.releasePollRunning());
    spin(std::chrono::milliseconds(100));
    EXPECT_FALSE(f.service.registrations().contains(ShortcutAction::capture)) << "still held";

    f.registrar->keysDown.clear();
    EXPECT_TRUE(runUntil([&] { return f.service.registrations().contains(ShortcutAction::capture); }, 1s));
    EXPECT_FALSE(f.service.releasePollRunning());
    EXPECT_NE(f.idOf(ShortcutAction::capture), old) << "ids are never reused";
    EXPECT_TRUE(f.log.events().contains(QStringLiteral("hotkey.resumed")));
}

TEST(ShortcutService, FailedResumeIsReportedOnce)
{
    ServiceFixture f;
    f.bindDefaults();
    int failures = 0;
    f.service.onResumeFailure = [&](const std::exception_ptr&) { ++failures; };
    f.service.setSuspended(true, {ShortcutAction::pin});
    f.registrar->taken.insert({120, 0}); // someone took F2 meanwhile
    f.service.setSuspended(false, {ShortcutAction::pin});
    EXPECT_EQ(failures, 1);
    EXPECT_TRUE(f.log.events().contains(QStringLiteral("hotkey.resume.failed")));
    EXPECT_TRUE(f.service.registrationError()->startsWith(QStringLiteral("图片置顶：")));
    f.service.restoreRegistrationWhenReleased();
    EXPECT_EQ(failures, 1) << "a failed action waits for the next registration";
}

TEST(ShortcutService, SwappedChordsKeepTheirRegistrations)
{
    ServiceFixture f;
    f.bindDefaults();
    const quint32 captureID = f.idOf(ShortcutAction::capture);
    const quint32 pinID = f.idOf(ShortcutAction::pin);
    f.registrar->calls.clear();
    const ShortcutBindings swapped{{ShortcutAction::capture, f2}, {ShortcutAction::pin, f1}};
    f.service.prepareActions(swapped);
    f.service.commitPreparedActions(swapped);
    EXPECT_TRUE(f.registrar->calls.isEmpty());
    EXPECT_EQ(f.idOf(ShortcutAction::capture), pinID);
    f.registrar->press(captureID); // F1's id now means pin
    EXPECT_EQ(f.pressed, std::vector{ShortcutAction::pin});
}

TEST(ShortcutService, FailedPrepareLeavesTheActiveRegistrations)
{
    ServiceFixture f;
    f.bindDefaults();
    const auto before = f.registrar->active;
    f.registrar->taken.insert({120, 0x100});
    const ShortcutBindings next{{ShortcutAction::capture, f3}, {ShortcutAction::pin, {120, 0x100, QStringLiteral("⌘F2")}}};
    try {
        f.service.prepareActions(next);
        ADD_FAILURE() << "no error";
    } catch (const HotKeyError& e) {
        EXPECT_EQ(e.code(), FakeHotKeyRegistrar::takenStatus);
    }
    EXPECT_EQ(f.registrar->active, before) << "F3, registered in this phase, is released again";
    EXPECT_FALSE(f.service.prepared());

    EXPECT_THROW(f.service.prepareActions({{ShortcutAction::capture, f3}, {ShortcutAction::pin, {99, 0, QStringLiteral("x")}}}),
                 HotKeyError);
    EXPECT_EQ(f.registrar->active, before);
}

TEST(ShortcutService, PrepareWhileSuspendedProvesTheChordOnly)
{
    ServiceFixture f;
    f.bindDefaults();
    f.service.setSuspended(true, {ShortcutAction::pin});
    const ShortcutBindings next{{ShortcutAction::capture, f1}, {ShortcutAction::pin, f3}};
    f.registrar->calls.clear();
    f.service.prepareActions(next);
    EXPECT_EQ(f.registrar->calls.size(), 2) << f.registrar->calls.join(", ").toStdString();
    EXPECT_TRUE(f.registrar->calls[0].startsWith(QStringLiteral("register")));
    EXPECT_TRUE(f.registrar->calls[1].startsWith(QStringLiteral("unregister")));
    f.service.commitPreparedActions(next);
    EXPECT_EQ(f.registrar->idOf(99), 0u);
    f.service.setSuspended(false, {ShortcutAction::pin});
    EXPECT_NE(f.registrar->idOf(99), 0u);
}

TEST(ShortcutService, CommitOfAnotherMapChangesNothing)
{
    ServiceFixture f;
    f.bindDefaults();
    const ShortcutBindings next{{ShortcutAction::capture, f1}, {ShortcutAction::pin, f3}};
    f.service.prepareActions(next);
    ShortcutBindings relabelled = next;
    relabelled[ShortcutAction::pin].label = QStringLiteral("F3 ");
    f.service.commitPreparedActions(relabelled);
    EXPECT_TRUE(f.service.prepared());
    EXPECT_EQ(f.service.bindings().at(ShortcutAction::pin), f2);
    f.service.rollbackPrepared();
    EXPECT_EQ(f.registrar->idOf(99), 0u);
    EXPECT_NE(f.registrar->idOf(120), 0u);
}

TEST(ShortcutService, ReleaseEndsEverythingAndActivationKeyComesFromTheBackEnd)
{
    auto registrar = std::make_shared<FakeHotKeyRegistrar>();
    {
        ShortcutService service(registrar);
        service.registerActions({{ShortcutAction::capture, f1}, {ShortcutAction::pin, f2}});
        EXPECT_EQ(service.activationKey(), quint16(1122));
        service.prepareActions({{ShortcutAction::capture, f3}, {ShortcutAction::pin, f2}});
        EXPECT_EQ(registrar->active.size(), 3u);
    }
    EXPECT_TRUE(registrar->active.empty());
    EXPECT_FALSE(registrar->onEvent);
}
