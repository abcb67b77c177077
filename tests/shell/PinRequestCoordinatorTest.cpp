#include "app/shell/FinderSelectionReader.h"
#include "app/shell/PinRequestCoordinator.h"
#include "platform/x11/X11FileManagerEndpoint.h"
#include "support/FakeApplicationFocus.h"
#include "support/FakeFileManagerEndpoint.h"
#include "support/TaskOutcome.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

namespace vorlith {
namespace {

using namespace test;
using namespace std::chrono_literals;
using Kind = FinderSelectionResult::Kind;
using Permission = FileManagerEndpoint::Permission;

const FrontApplication fileManager{42, 7, QStringLiteral("Files")};

PinOriginContext originOf(const std::optional<FrontApplication>& front)
{
    PinOriginContext origin;
    origin.id = QUuid::createUuid();
    origin.trigger = PinTrigger::shortcut;
    if (front) {
        origin.frontPID = front->pid;
        origin.frontBundleID = front->windowClass;
    }
    return origin;
}

// A reader over a scripted file manager, with real files to classify: images by name, a
// folder and a text file that are no images, an item without a telling name.
class FinderReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        QDir(folder.path()).mkdir(QStringLiteral("album"));
        QFile text(path(QStringLiteral("notes.txt")));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("notes");
        QFile blob(path(QStringLiteral("blob")));
        ASSERT_TRUE(blob.open(QIODevice::WriteOnly));
        blob.write("\x01\x02");
    }

    QString path(const QString& name) const { return QDir(folder.path()).filePath(name); }
    QByteArray item(const QString& name) const { return FakeFileManagerEndpoint::fileItem(path(name)); }
    QUrl url(const QString& name) const { return QUrl::fromLocalFile(path(name)); }

    std::shared_ptr<FinderSelectionReader> reader(std::chrono::milliseconds budget = 2s)
    {
        return std::make_shared<FinderSelectionReader>(endpoint, FinderSelectionReader::focusIdentity(focus),
                                                       [this] { return hasScreens; }, budget);
    }
    FinderSelectionResult snapshot(std::chrono::milliseconds budget = 2s, std::stop_token stop = {})
    {
        auto outcome = finish(reader(budget)->snapshot(originOf(fileManager), stop));
        EXPECT_TRUE(outcome.finished);
        return outcome.value.value_or(FinderSelectionResult::unavailable(QStringLiteral("unfinished")));
    }

    QTemporaryDir folder;
    std::shared_ptr<FakeFileManagerEndpoint> endpoint = std::make_shared<FakeFileManagerEndpoint>();
    std::shared_ptr<FakeApplicationFocus> focus = std::make_shared<FakeApplicationFocus>(fileManager);
    bool hasScreens = true;
};

TEST_F(FinderReaderTest, SelectionIsClassifiedAndKeptInItsOrder)
{
    const FinderLocation window = FinderLocation::window(5, Rect{100, 200, 400, 300});
    struct Case {
        const char* name;
        std::vector<QString> items;
        FinderSelectionResult expected;
    };
    const std::vector<Case> cases{
        {"image and folder", {QStringLiteral("album"), QStringLiteral("a.png")},
         FinderSelectionResult::selected({{url(QStringLiteral("album")), url(QStringLiteral("a.png"))}, window})},
        {"empty", {}, FinderSelectionResult::noImages(window)},
        {"folders and text", {QStringLiteral("album"), QStringLiteral("notes.txt")}, FinderSelectionResult::noImages(window)},
        {"an item that cannot be judged", {QStringLiteral("notes.txt"), QStringLiteral("blob")},
         FinderSelectionResult::unavailable(FinderSelectionReader::unrecognizedItemsMessage())},
        {"an image beside an unknown item", {QStringLiteral("blob"), QStringLiteral("b.jpg")},
         FinderSelectionResult::selected({{url(QStringLiteral("blob")), url(QStringLiteral("b.jpg"))}, window})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        endpoint = std::make_shared<FakeFileManagerEndpoint>();
        endpoint->script.locations = {window};
        std::vector<std::optional<QByteArray>> items;
        for (const QString& name : c.items)
            items.push_back(item(name));
        endpoint->script.items = items;
        EXPECT_EQ(snapshot(), c.expected);
        EXPECT_EQ(endpoint->steps().first(), QStringLiteral("permission"));
        EXPECT_EQ(endpoint->steps().last(), QStringLiteral("location2"));
    }
}

TEST_F(FinderReaderTest, ItemsThatAreNoFileReferencesMakeTheSelectionUnreadable)
{
    const std::vector<std::pair<const char*, std::optional<QByteArray>>> cases{
        {"missing", std::nullopt},
        {"web address", QByteArray("https://example.com/a.png")},
        {"not UTF-8", QByteArray("file:///tmp/\xff\xfe.png")},
        {"not a URL", QByteArray("file://[broken/a.png")},
    };
    for (const auto& [name, bad] : cases) {
        SCOPED_TRACE(name);
        endpoint->script.items = std::vector<std::optional<QByteArray>>{item(QStringLiteral("a.png")), bad};
        EXPECT_EQ(snapshot(), FinderSelectionResult::unavailable(FinderSelectionReader::unreadableItemsMessage()));
    }
}

TEST_F(FinderReaderTest, AtMostTenThousandItemsAreRead)
{
    std::vector<std::optional<QByteArray>> items(FinderSelectionReader::itemLimit, item(QStringLiteral("a.png")));
    endpoint->script.items = items;
    const FinderSelectionResult all = snapshot(20s);
    ASSERT_EQ(all.kind(), Kind::selected);
    EXPECT_EQ(all.snapshot()->urls.size(), FinderSelectionReader::itemLimit);

    items.push_back(item(QStringLiteral("a.png")));
    endpoint = std::make_shared<FakeFileManagerEndpoint>();
    endpoint->script.items = items;
    EXPECT_EQ(snapshot(20s), FinderSelectionResult::unavailable(FinderSelectionReader::incompleteSelectionMessage()));
    EXPECT_FALSE(endpoint->steps().contains(QStringLiteral("item1"))) << "an oversized selection is not read";

    endpoint = std::make_shared<FakeFileManagerEndpoint>();
    endpoint->script.items = std::nullopt; // not a list
    EXPECT_EQ(snapshot(), FinderSelectionResult::unavailable(FinderSelectionReader::incompleteSelectionMessage()));
}

TEST_F(FinderReaderTest, PermissionAndExchangeFailuresBecomeResults)
{
    struct Case {
        const char* name;
        Permission permission;
        QString failStep;
        FileManagerError::Code code;
        FinderSelectionResult expected;
    };
    using Code = FileManagerError::Code;
    const std::vector<Case> cases{
        {"consent not given", Permission::needsConsent, {}, Code::other, FinderSelectionResult::needsConsent()},
        {"refused", Permission::denied, {}, Code::other, FinderSelectionResult::denied()},
        {"permission unknown", Permission::unavailable, {}, Code::other,
         FinderSelectionResult::unavailable(FinderSelectionReader::unavailableMessage())},
        {"consent asked by an exchange", Permission::granted, QStringLiteral("count"), Code::needsConsent,
         FinderSelectionResult::needsConsent()},
        {"refused by an exchange", Permission::granted, QStringLiteral("item1"), Code::notPermitted,
         FinderSelectionResult::denied()},
        {"deadline", Permission::granted, QStringLiteral("location2"), Code::timedOut, FinderSelectionResult::timedOut()},
        {"not a file manager window", Permission::granted, QStringLiteral("location1"), Code::noSuchObject,
         FinderSelectionResult::unavailable(FinderSelectionReader::unknownWindowMessage())},
        {"no way to address it", Permission::granted, QStringLiteral("permission"), Code::malformed,
         FinderSelectionResult::unavailable(FinderSelectionReader::readFailedMessage())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        endpoint = std::make_shared<FakeFileManagerEndpoint>();
        endpoint->script.permission = c.permission;
        endpoint->script.items = std::vector<std::optional<QByteArray>>{item(QStringLiteral("a.png"))};
        endpoint->script.failStep = c.failStep;
        endpoint->script.failure = FileManagerError(c.code);
        EXPECT_EQ(snapshot(), c.expected);
        EXPECT_FALSE(endpoint->steps().contains(QStringLiteral("ask"))) << "reading never asks the user";
    }
}

TEST_F(FinderReaderTest, ContextChangesAndTheBudget)
{
    const FinderLocation first = FinderLocation::window(5, Rect{0, 0, 400, 300});
    const FinderLocation moved = FinderLocation::window(5, Rect{10, 0, 400, 300});

    SCOPED_TRACE("the window moved between the two location reads");
    endpoint->script.locations = {first, moved};
    EXPECT_EQ(snapshot(), FinderSelectionResult::contextChanged());

    SCOPED_TRACE("another application came to the front during the read");
    endpoint = std::make_shared<FakeFileManagerEndpoint>();
    endpoint->script.items = std::vector<std::optional<QByteArray>>{item(QStringLiteral("a.png"))};
    endpoint->script.onStep = [this](const QString& step) {
        if (step == QStringLiteral("location2"))
            focus->setFront(FrontApplication{43, 9, QStringLiteral("Gedit")});
    };
    EXPECT_EQ(snapshot(), FinderSelectionResult::contextChanged());

    SCOPED_TRACE("the front was already another one when the read began");
    endpoint = std::make_shared<FakeFileManagerEndpoint>();
    EXPECT_EQ(snapshot(), FinderSelectionResult::contextChanged());
    EXPECT_TRUE(endpoint->steps().isEmpty());
    focus->setFront(fileManager);

    SCOPED_TRACE("the file manager answers too slowly");
    endpoint->script.delay = 150ms;
    EXPECT_EQ(snapshot(100ms), FinderSelectionResult::timedOut());

    SCOPED_TRACE("the caller gave up");
    endpoint = std::make_shared<FakeFileManagerEndpoint>();
    endpoint->script.delay = 100ms;
    std::stop_source giveUp;
    QTimer::singleShot(20, [&] { giveUp.request_stop(); });
    EXPECT_EQ(snapshot(2s, giveUp.get_token()), FinderSelectionResult::contextChanged());

    SCOPED_TRACE("no display");
    hasScreens = false;
    EXPECT_EQ(snapshot(), FinderSelectionResult::unavailable(FinderSelectionReader::noScreenMessage()));
}

// --- The decision ----------------------------------------------------------------------------

class PinResolveTest : public FinderReaderTest {
protected:
    PinRequestCoordinator::Resolution resolve(const std::optional<FrontApplication>& front,
                                              std::optional<FinderSelectionResult> finder)
    {
        PinRequestCoordinator coordinator(reader());
        auto outcome = finish(coordinator.resolve(PreparedPinRequest{originOf(front), std::move(finder)}));
        EXPECT_TRUE(outcome.finished);
        return outcome.value.value_or(PinRequestCoordinator::Resolution::message(QStringLiteral("unfinished")));
    }
};

TEST_F(PinResolveTest, TheSourceFollowsTheReading)
{
    using Resolution = PinRequestCoordinator::Resolution;
    const QList<QUrl> files{url(QStringLiteral("a.png"))};
    const FinderLocation window = FinderLocation::window(5, Rect{100, 200, 400, 300});
    const FrontApplication editor{50, 3, QStringLiteral("Gedit")};
    struct Case {
        const char* name;
        std::optional<FrontApplication> front;
        std::optional<FinderSelectionResult> finder;
        Resolution expected;
    };
    const std::vector<Case> cases{
        {"another application in front", editor, FinderSelectionResult::timedOut(), Resolution::clipboard()},
        {"no application in front", std::nullopt, std::nullopt, Resolution::clipboard()},
        {"file manager not read", fileManager, std::nullopt, Resolution::message(PinRequestCoordinator::notReadMessage())},
        {"images in a window", fileManager, FinderSelectionResult::selected({files, window}),
         Resolution::files(files, Point{300, 350})},
        {"images on the desktop", fileManager, FinderSelectionResult::selected({files, FinderLocation::desktop()}),
         Resolution::files(files, std::nullopt)},
        {"no images", fileManager, FinderSelectionResult::noImages(window), Resolution::clipboard()},
        {"unreadable", fileManager, FinderSelectionResult::unavailable(QStringLiteral("读不了")),
         Resolution::message(QStringLiteral("读不了"))},
        {"timed out", fileManager, FinderSelectionResult::timedOut(), Resolution::message(PinRequestCoordinator::timedOutMessage())},
        {"changed", fileManager, FinderSelectionResult::contextChanged(),
         Resolution::message(PinRequestCoordinator::contextChangedMessage())},
        {"denied", fileManager, FinderSelectionResult::denied(), Resolution::message(PinRequestCoordinator::deniedMessage())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(resolve(c.front, c.finder), c.expected);
        EXPECT_FALSE(endpoint->steps().contains(QStringLiteral("ask")));
    }
}

TEST_F(PinResolveTest, MissingConsentAsksOnceAndNeverPins)
{
    const std::vector<std::pair<Permission, QString>> cases{
        {Permission::granted, PinRequestCoordinator::permissionGrantedMessage()},
        {Permission::needsConsent, PinRequestCoordinator::permissionMissingMessage()},
        {Permission::denied, PinRequestCoordinator::permissionMissingMessage()},
        {Permission::unavailable, PinRequestCoordinator::permissionUnavailableMessage()},
    };
    for (const auto& [answer, message] : cases) {
        SCOPED_TRACE(message.toStdString());
        endpoint = std::make_shared<FakeFileManagerEndpoint>();
        endpoint->script.permissionWhenAsked = answer;
        EXPECT_EQ(resolve(fileManager, FinderSelectionResult::needsConsent()), PinRequestCoordinator::Resolution::message(message));
        EXPECT_EQ(endpoint->steps(), QStringList{QStringLiteral("ask")});
    }
}

TEST_F(PinResolveTest, PrepareReadsOnlyAFileManagerInFront)
{
    endpoint->script.items = std::vector<std::optional<QByteArray>>{item(QStringLiteral("a.png"))};
    PinRequestCoordinator coordinator(reader());
    auto prepared = finish(coordinator.prepare(originOf(fileManager)));
    ASSERT_TRUE(prepared.value && prepared.value->finder);
    EXPECT_EQ(prepared.value->finder->kind(), Kind::selected);

    const FrontApplication editor{50, 3, QStringLiteral("Gedit")};
    focus->setFront(editor);
    endpoint = std::make_shared<FakeFileManagerEndpoint>();
    PinRequestCoordinator other(reader());
    prepared = finish(other.prepare(originOf(editor)));
    ASSERT_TRUE(prepared.value);
    EXPECT_FALSE(prepared.value->finder);
    EXPECT_TRUE(endpoint->steps().isEmpty());
}

TEST(PinRequestX11Endpoint, NothingIsAFileManagerSoTheClipboardIsUsed)
{
    auto endpoint = std::make_shared<X11FileManagerEndpoint>();
    for (const char* windowClass : {"Nautilus", "org.gnome.Nautilus", "Thunar", "dolphin", "Pcmanfm"})
        EXPECT_FALSE(endpoint->isFileManager(QString::fromLatin1(windowClass))) << windowClass;
    auto focus = std::make_shared<FakeApplicationFocus>(FrontApplication{42, 7, QStringLiteral("Nautilus")});
    PinRequestCoordinator coordinator(std::make_shared<FinderSelectionReader>(
        endpoint, FinderSelectionReader::focusIdentity(focus), [] { return true; }));
    auto prepared = finish(coordinator.prepare(originOf(FrontApplication{42, 7, QStringLiteral("Nautilus")})));
    ASSERT_TRUE(prepared.value);
    EXPECT_FALSE(prepared.value->finder);
    auto resolution = finish(coordinator.resolve(*prepared.value));
    ASSERT_TRUE(resolution.value);
    EXPECT_EQ(*resolution.value, PinRequestCoordinator::Resolution::clipboard());
}

// --- The origin ------------------------------------------------------------------------------

TEST(PinOrigin, RecordsTheFrontApplicationThePointerAndItsDisplay)
{
    const std::vector<DisplayScreen> two{
        {11, Rect{0, 0, 1000, 800}, Rect{0, 0, 1000, 780}},
        {22, Rect{1000, 0, 800, 600}, Rect{1000, 0, 800, 600}},
    };
    struct Case {
        const char* name;
        std::vector<DisplayScreen> screens;
        Point pointer;
        std::optional<quint32> displayID;
    };
    const std::vector<Case> cases{
        {"on the second screen", two, Point{1200, 10}, 22},
        {"on the edge the second screen starts", two, Point{1000, 0}, 22},
        {"below the second screen, off every screen", two, Point{1200, 700}, 11},
        {"no screens", {}, Point{5, 5}, std::nullopt},
    };
    auto focus = std::make_shared<FakeApplicationFocus>(FrontApplication{42, 7, QStringLiteral("Gimp")});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PinOriginEnvironment environment{focus, [&] { return c.pointer; }, ScreenLookup([&] { return c.screens; })};
        const PinOriginContext origin = PinOriginContext::capture(PinTrigger::menu, environment);
        EXPECT_FALSE(origin.id.isNull());
        EXPECT_EQ(origin.trigger, PinTrigger::menu);
        EXPECT_EQ(origin.frontPID, 42);
        EXPECT_EQ(origin.frontBundleID, QStringLiteral("Gimp"));
        EXPECT_EQ(origin.mouseLocation, c.pointer);
        EXPECT_EQ(origin.displayID, c.displayID);
    }
    focus->setFront(std::nullopt);
    const PinOriginContext alone = PinOriginContext::capture(
        PinTrigger::shortcut, PinOriginEnvironment{focus, [] { return Point{}; }, ScreenLookup([&] { return two; })});
    EXPECT_FALSE(alone.frontPID);
    EXPECT_FALSE(alone.frontBundleID);
    EXPECT_NE(alone.id, PinOriginContext::capture(PinTrigger::shortcut, PinOriginEnvironment{nullptr, {}, ScreenLookup([] { return std::vector<DisplayScreen>{}; })}).id);
}

} // namespace
} // namespace vorlith
