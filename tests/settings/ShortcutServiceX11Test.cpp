#include "app/settings/HotKeyError.h"
#include "app/settings/ShortcutService.h"
#include "platform/HotKeyRegistrarFactory.h"
#include "platform/x11/X11HotKeyRegistrar.h"
#include "platform/x11/X11KeyCodes.h"
#include "platform/x11/XcbConnection.h"
#include "support/MemoryLogSink.h"
#include "support/TestSupport.h"
#include "support/X11Environment.h"
#include "settings/OtherKeyGrabber.h"

#include <QScopeGuard>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

const ShortcutSpec f1{122, 0, QStringLiteral("F1")};
const ShortcutSpec f2{120, 0, QStringLiteral("F2")};
constexpr xcb_keycode_t xF1 = 67;
constexpr xcb_keycode_t xF2 = 68;

void xdotool(const QStringList& arguments)
{
    ASSERT_EQ(X11Environment::server()->run(QStringLiteral("xdotool"), arguments), 0) << arguments.join(' ').toStdString();
}

// Forwards to the real registrar and counts the key events X delivers, repeats included.
class CountingRegistrar final : public HotKeyRegistering {
public:
    explicit CountingRegistrar(std::unique_ptr<X11HotKeyRegistrar> inner) : m_inner(std::move(inner))
    {
        m_inner->onEvent = [this](quint32 id, bool pressed) {
            (pressed ? presses : releases)++;
            if (onEvent)
                onEvent(id, pressed);
        };
    }
    void registerHotKey(const ShortcutSpec& spec, quint32 id) override { m_inner->registerHotKey(spec, id); }
    void unregister(quint32 id) override { m_inner->unregister(id); }
    bool isKeyDown(quint32 keyCode) override { return m_inner->isKeyDown(keyCode); }
    std::optional<quint16> editorKeyID(quint32 keyCode) override { return m_inner->editorKeyID(keyCode); }
    std::optional<quint32> keyCodeForEditorKeyID(quint16 keyID) override { return m_inner->keyCodeForEditorKeyID(keyID); }
    QString keyCharacters(quint16 keyID) override { return m_inner->keyCharacters(keyID); }
    X11HotKeyRegistrar& inner() { return *m_inner; }

    int presses = 0;
    int releases = 0;

private:
    std::unique_ptr<X11HotKeyRegistrar> m_inner;
};

struct X11Fixture {
    ScopedLogCapture log;
    CountingRegistrar* registrar = nullptr;
    std::unique_ptr<ShortcutService> service;
    std::vector<ShortcutAction> pressed;

    X11Fixture()
    {
        auto real = X11HotKeyRegistrar::open();
        EXPECT_TRUE(real);
        auto counting = std::make_shared<CountingRegistrar>(std::move(real));
        registrar = counting.get();
        service = std::make_unique<ShortcutService>(counting);
        service->onActionPressed = [this](ShortcutAction a) { pressed.push_back(a); };
    }
    void bind(const ShortcutSpec& capture = f1, const ShortcutSpec& pin = f2)
    {
        service->registerActions({{ShortcutAction::capture, capture}, {ShortcutAction::pin, pin}});
    }
    size_t count(ShortcutAction action) const { return size_t(std::count(pressed.begin(), pressed.end(), action)); }
};

} // namespace

TEST(ShortcutServiceX11, EveryPressReachesTheServiceOnce)
{
    X11Fixture f;
    f.bind();
    EXPECT_FALSE(f.registrar->inner().keyCodes().usesKeySymbols()) << "Xvfb keeps F1 where evdev puts it";
    EXPECT_TRUE(f.registrar->inner().detectableAutoRepeat());
    xdotool({"key", "F1"});
    ASSERT_TRUE(runUntil([&] { return f.count(ShortcutAction::capture) == 1; }));
    xdotool({"key", "F1", "F2", "F1"});
    ASSERT_TRUE(runUntil([&] { return f.pressed.size() == 4; }));
    spin(std::chrono::milliseconds(100));
    EXPECT_EQ(f.pressed, (std::vector{ShortcutAction::capture, ShortcutAction::capture, ShortcutAction::pin,
                                      ShortcutAction::capture}));
    EXPECT_EQ(f.service->activationKey(), quint16(xF1));
}

// A held key sends its press, the server's repeats and one release: one action.
TEST(ShortcutServiceX11, HeldKeyOpensTheGateOnce)
{
    X11Fixture f;
    f.bind();
    xdotool({"keydown", "F1"});
    ASSERT_TRUE(runUntil([&] { return f.registrar->presses >= 1; }));
    // Further presses of a key that is down are repeats, as the keyboard's own auto-repeat.
    xdotool({"keydown", "F1"});
    xdotool({"keydown", "F1"});
    ASSERT_TRUE(runUntil([&] { return f.registrar->presses >= 3; }));
    EXPECT_EQ(f.registrar->releases, 0) << "detectable auto-repeat sends no release between repeats";
    xdotool({"keyup", "F1"});
    ASSERT_TRUE(runUntil([&] { return f.registrar->releases == 1; }));
    EXPECT_EQ(f.count(ShortcutAction::capture), 1u);
    xdotool({"key", "F1"});
    ASSERT_TRUE(runUntil([&] { return f.count(ShortcutAction::capture) == 2; }));
}

TEST(ShortcutServiceX11, ChordWorksWithCapsLockAndNumLockOn)
{
    X11Fixture f;
    f.bind({122, ShortcutSpec::command, QStringLiteral("⌘F1")}, f2);
    EXPECT_EQ(f.registrar->inner().numLockMask(), XCB_MOD_MASK_2) << "read from the modifier map";
    xdotool({"key", "Caps_Lock", "Num_Lock"});
    xdotool({"key", "ctrl+F1"});
    xdotool({"key", "F2"});
    ASSERT_TRUE(runUntil([&] { return f.pressed.size() == 2; }));
    EXPECT_EQ(f.pressed, (std::vector{ShortcutAction::capture, ShortcutAction::pin}));
    xdotool({"key", "F1"}); // without Ctrl it is no chord of ours
    spin(std::chrono::milliseconds(150));
    EXPECT_EQ(f.pressed.size(), 2u);
}

// The user lets go of Ctrl before F1: the release still ends the press.
TEST(ShortcutServiceX11, ReleaseIsMatchedByKeyAlone)
{
    X11Fixture f;
    f.bind({122, ShortcutSpec::command, QStringLiteral("⌘F1")}, f2);
    for (int round = 1; round <= 2; ++round) {
        xdotool({"keydown", "ctrl"});
        xdotool({"keydown", "F1"});
        xdotool({"keyup", "ctrl"});
        xdotool({"keyup", "F1"});
        ASSERT_TRUE(runUntil([&] { return f.count(ShortcutAction::capture) == size_t(round); })) << round;
        ASSERT_TRUE(runUntil([&] { return f.registrar->releases == round; })) << round;
    }
}

TEST(ShortcutServiceX11, ChordHeldByAnotherClientIsTaken)
{
    X11Fixture f;
    OtherKeyGrabber other;
    // The other program holds F2 only with Caps Lock: a partial grab fails us too, and what we
    // grabbed on the way is released again.
    ASSERT_EQ(other.grab(xF2, XCB_MOD_MASK_LOCK), 0);
    try {
        f.bind();
        ADD_FAILURE() << "no error";
    } catch (const HotKeyError& e) {
        EXPECT_EQ(e.code(), 10);
    }
    EXPECT_TRUE(f.log.events().contains(QStringLiteral("hotkey.register.status=10")));
    EXPECT_EQ(f.service->registrationError(),
              QStringLiteral("图片置顶：无法注册该快捷键，可能已被系统或其他应用占用。请换一个按键。"));
    EXPECT_TRUE(f.service->registrations().contains(ShortcutAction::capture));
    other.ungrab(xF2, XCB_MOD_MASK_LOCK);
    EXPECT_EQ(OtherKeyGrabber().grab(xF2, 0), 0) << "no half grab of ours is left behind";
}

TEST(ShortcutServiceX11, SecondIdForAHeldChordIsRefused)
{
    auto registrar = X11HotKeyRegistrar::open();
    ASSERT_TRUE(registrar);
    registrar->registerHotKey(f1, 1);
    try {
        registrar->registerHotKey({122, 0, QStringLiteral("again")}, 2);
        ADD_FAILURE() << "no error";
    } catch (const HotKeyRegistrationError& e) {
        EXPECT_TRUE(e.alreadyHeld);
    }
    registrar->unregister(2); // unknown: nothing happens
    EXPECT_EQ(OtherKeyGrabber().grab(xF1, 0), 10);
}

TEST(ShortcutServiceX11, SuspendReleasesTheGrabsAndResumeTakesThemBack)
{
    X11Fixture f;
    f.bind();
    OtherKeyGrabber other;
    EXPECT_EQ(other.grab(xF1, 0), 10);
    f.service->setSuspended(true, {ShortcutAction::capture});
    EXPECT_EQ(other.grab(xF1, 0), 0) << "another client can take F1 while capture is suspended";
    other.ungrab(xF1, 0);

    // Resumed while F1 is still held: registered only once it is up.
    xdotool({"keydown", "F1"});
    ASSERT_TRUE(runUntil([&] { return f.registrar->isKeyDown(122); }));
    f.service->setSuspended(false, {ShortcutAction::capture});
    EXPECT_TRUE(f.service->releasePollRunning());
    EXPECT_FALSE(f.service->registrations().contains(ShortcutAction::capture));
    xdotool({"keyup", "F1"});
    ASSERT_TRUE(runUntil([&] { return f.service->registrations().contains(ShortcutAction::capture); }, 1s));
    EXPECT_EQ(other.grab(xF1, 0), 10);
    EXPECT_TRUE(f.pressed.empty()) << "the held key started nothing";
    xdotool({"key", "F1"});
    EXPECT_TRUE(runUntil([&] { return f.count(ShortcutAction::capture) == 1; }));
}

// The recorder reads a key press back into the settings file's key code, and the character the
// layout types on it: by position on a server whose keys sit at their evdev places.
TEST(ShortcutServiceX11, EditorKeysReadBackIntoKeyCodes)
{
    X11Fixture f;
    struct Row {
        quint16 xKey;
        std::optional<quint32> keyCode;
        const char* characters;
    };
    const Row rows[] = {
        {67, 122, ""},        // F1
        {38, 0, "a"},         // A
        {10, 18, "1"},        // 1
        {36, 36, ""},           // Return types no character: its symbol is a function
        {111, 126, ""},       // Up
        {37, std::nullopt, ""}, // Control_L: a modifier has no code
        {107, std::nullopt, ""}, // Print
        {118, std::nullopt, ""}, // Insert
    };
    for (const Row& row : rows) {
        EXPECT_EQ(f.service->keyCodeForEditorKeyID(row.xKey), row.keyCode) << row.xKey;
        EXPECT_EQ(f.service->keyCharacters(row.xKey), QString::fromLatin1(row.characters)) << row.xKey;
    }
}

// A server whose F1 is not at its evdev place: keys are found by their symbols, and a
// mapping change renews the grabs.
TEST(ShortcutServiceX11, KeySymbolFallbackAndMappingChange)
{
    X11Fixture f;
    f.bind();
    // The two keys' present lines, to put back for whatever runs next on this server.
    QByteArray table;
    X11Environment::server()->run(QStringLiteral("xmodmap"), {"-pke"}, &table);
    QStringList restore;
    for (const QByteArray& line : table.split('\n')) {
        const QByteArray simplified = line.simplified();
        if (simplified.startsWith("keycode 67 =") || simplified.startsWith("keycode 200 ="))
            restore << "-e" << QString::fromLatin1(simplified);
    }
    auto putBack = qScopeGuard([&] { X11Environment::server()->run(QStringLiteral("xmodmap"), restore); });
    ASSERT_EQ(X11Environment::server()->run(QStringLiteral("xmodmap"),
                                            {"-e", "keycode 67 = F24", "-e", "keycode 200 = F1"}),
              0);
    ASSERT_TRUE(runUntil([&] { return f.registrar->inner().keyCodes().usesKeySymbols(); }));
    EXPECT_EQ(f.service->activationKey(), quint16(200));
    // The recorder's way back follows the symbols too: the moved F1 is F1, the old key is none.
    EXPECT_EQ(f.service->keyCodeForEditorKeyID(200), 122u);
    EXPECT_EQ(f.service->keyCodeForEditorKeyID(67), std::nullopt);
    xdotool({"key", "F1"});
    ASSERT_TRUE(runUntil([&] { return f.count(ShortcutAction::capture) == 1; }));
    EXPECT_EQ(OtherKeyGrabber().grab(xF1, 0), 0) << "the old key is no longer ours";
}

TEST(ShortcutServiceX11, FactoryChoosesBySession)
{
    QProcessEnvironment x11;
    EXPECT_TRUE(dynamic_cast<X11HotKeyRegistrar*>(HotKeyRegistrarFactory::make(x11, QStringLiteral("xcb")).get()));
    QProcessEnvironment wayland;
    wayland.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
    auto refusing = HotKeyRegistrarFactory::make(wayland, QStringLiteral("wayland"));
    ShortcutService service(refusing);
    try {
        service.registerActions({{ShortcutAction::capture, f1}});
        ADD_FAILURE() << "no error";
    } catch (const HotKeyError& e) {
        EXPECT_EQ(e.code(), -1);
    }
}

// The capture road: the press suspends the hot keys from inside the callback while F1 is still
// down; resuming then waits for the release, and the next press starts the next capture.
TEST(ShortcutServiceX11, SuspendFromThePressThenResume)
{
    X11Fixture f;
    f.bind();
    f.service->onActionPressed = [&](ShortcutAction a) {
        f.pressed.push_back(a);
        f.service->setSuspended(true, {ShortcutAction::capture, ShortcutAction::pin});
    };
    xdotool({"keydown", "F1"});
    ASSERT_TRUE(runUntil([&] { return f.pressed.size() == 1; }));
    EXPECT_TRUE(f.service->registrations().empty());
    f.service->setSuspended(false, {ShortcutAction::capture, ShortcutAction::pin});
    EXPECT_TRUE(f.service->releasePollRunning()) << "F1 is still down";
    EXPECT_TRUE(f.service->registrations().contains(ShortcutAction::pin));
    xdotool({"keyup", "F1"});
    ASSERT_TRUE(runUntil([&] { return f.service->registrations().contains(ShortcutAction::capture); }, 1s));
    f.service->onActionPressed = [&](ShortcutAction a) { f.pressed.push_back(a); };
    xdotool({"key", "F1"});
    ASSERT_TRUE(runUntil([&] { return f.pressed.size() == 2; }));
}
