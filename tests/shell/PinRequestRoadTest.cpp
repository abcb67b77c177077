#include "app/output/feedback/FeedbackCoordinator.h"
#include "app/output/feedback/OutputToastRenderer.h"
#include "app/output/feedback/OutputToastSurface.h"
#include "app/shell/InstanceChannel.h"
#include "app/shell/PinRequestRoad.h"
#include "import/ImportFixtures.h"
#include "output/ToastFixture.h"
#include "support/FakeApplicationFocus.h"
#include "support/FakeFileManagerEndpoint.h"
#include "support/FakeFolderAccess.h"
#include "support/FakePasteboard.h"
#include "support/FakePinRoadHost.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

namespace vorlith {
namespace {

using namespace test;
using namespace std::chrono_literals;
using Phase = FeedbackCoordinator::Phase;
using BatchStatus = ImageImportService::BatchStatus;

const FrontApplication editorApp{50, 3, QStringLiteral("Gedit")};
const FrontApplication fileManagerApp{42, 7, QStringLiteral("Files")};

class PinRoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        makeRoad();
    }

    void makeRoad()
    {
        road.reset();
        auto reader = std::make_shared<FinderSelectionReader>(endpoint, FinderSelectionReader::focusIdentity(focus),
                                                              [] { return true; });
        PinRequestRoad::Services services{
            std::make_shared<ImageImportService>(store, access),
            pasteboard,
            std::make_shared<PinRequestCoordinator>(reader),
            PinOriginEnvironment{focus, [this] { return pointer; }, ScreenLookup([this] { return toasts.screens; })},
            access,
        };
        road = std::make_unique<PinRequestRoad>(host, std::move(services));
    }

    QUrl png(const QString& name, QSize size = {40, 30})
    {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::darkCyan);
        const QString path = QDir(dir.path()).filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(pngBytes(image));
        return QUrl::fromLocalFile(path);
    }
    QUrl text(const QString& name)
    {
        const QString path = QDir(dir.path()).filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("notes");
        return QUrl::fromLocalFile(path);
    }
    void clipboardImage()
    {
        QImage image(QSize(20, 10), QImage::Format_ARGB32);
        image.fill(Qt::red);
        pasteboard->items = {{{QStringLiteral("image/png"), pngBytes(image)}}};
    }
    bool idle()
    {
        return runUntil([&] {
            return !road->hasPinRequestTask() && !road->hasImportTask() && !road->hasMenuPreparationTask();
        });
    }
    const FeedbackCoordinator::Record* currentToast() const
    {
        return host.toast.current ? feedback->record(*host.toast.current) : nullptr;
    }
    std::vector<Point> pinPoints() const
    {
        std::vector<Point> points;
        for (const auto& pin : host.pins)
            points.push_back(pin.near);
        return points;
    }

    QTemporaryDir dir;
    ToastFixture toasts;
    std::shared_ptr<ImageResourceStore> store = std::make_shared<ImageResourceStore>(qint64(512) << 20);
    std::shared_ptr<FeedbackCoordinator> feedback = toasts.coordinator(store);
    FakePinRoadHost host{feedback};
    std::shared_ptr<FakePasteboard> pasteboard = std::make_shared<FakePasteboard>();
    std::shared_ptr<FakeFolderAccess> access = std::make_shared<FakeFolderAccess>();
    std::shared_ptr<FakeFileManagerEndpoint> endpoint = std::make_shared<FakeFileManagerEndpoint>();
    std::shared_ptr<FakeApplicationFocus> focus = std::make_shared<FakeApplicationFocus>(editorApp);
    Point pointer{100, 100};
    std::unique_ptr<PinRequestRoad> road;
};

TEST_F(PinRoadTest, GuardsRefuseTheHotKeySilentlyOrWithTheirNotice)
{
    struct Case {
        const char* name;
        std::function<void(FakePinRoadHost&)> set;
        QString notice;
    };
    const std::vector<Case> cases{
        {"frozen for the quit review", [](auto& h) { h.frozen = true; }, {}},
        {"a capture starting", [](auto& h) { h.captureTask = true; }, {}},
        {"overlays up", [](auto& h) { h.overlays = true; }, {}},
        {"an alert up", [](auto& h) { h.alert = true; }, {}},
        {"a settings sheet", [](auto& h) { h.sheet = true; }, {}},
        {"the pin chord being recorded", [](auto& h) { h.recordingPinShortcut = true; }, {}},
        {"pins that will not settle", [](auto& h) { h.settles = false; }, {}},
        {"a pin restoring", [](auto& h) { h.restoring = true; }, PinRequestRoad::restoringMessage()},
        {"an output running", [](auto& h) { h.outputBusy = true; }, PinRequestRoad::outputBusyMessage()},
    };
    clipboardImage();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.reset();
        c.set(host);
        road->beginSmartPin(std::nullopt);
        EXPECT_FALSE(road->hasPinRequestTask());
        EXPECT_TRUE(feedback->recordIDs().empty());
        EXPECT_EQ(host.notices, c.notice.isEmpty() ? QStringList{} : QStringList{c.notice});
        road->openAsPin(); // the panel ignores the recorder: it is no hot key
        EXPECT_EQ(host.calls.contains(QStringLiteral("panel")), host.recordingPinShortcut);
    }
}

TEST_F(PinRoadTest, HotKeyPinsTheClipboardImageAtThePointerAndRefusesASecondRequestMeanwhile)
{
    clipboardImage();
    road->beginSmartPin(std::nullopt);
    ASSERT_TRUE(road->hasPinRequestTask());
    ASSERT_TRUE(currentToast());
    EXPECT_EQ(currentToast()->message, PinRequestRoad::readingMessage());
    EXPECT_FALSE(road->canBeginPin());
    road->beginSmartPin(std::nullopt); // refused while the first runs
    EXPECT_EQ(feedback->recordIDs().size(), 1u);

    ASSERT_TRUE(idle());
    ASSERT_EQ(host.pins.size(), 1u);
    EXPECT_EQ(host.pins[0].near, pointer);
    EXPECT_EQ(host.registered.size(), 1u);
    EXPECT_EQ(host.pins[0].document->source().geometry.size, (Size{20, 10}));
    ASSERT_TRUE(currentToast());
    EXPECT_EQ(currentToast()->phase, Phase::success);
    EXPECT_EQ(currentToast()->message, QStringLiteral("已置顶1张图片"));
    EXPECT_TRUE(road->canBeginPin());
}

TEST_F(PinRoadTest, EachFurtherImageSitsOneStepRightAndLower)
{
    const QList<QUrl> three{png(QStringLiteral("a.png")), png(QStringLiteral("b.png")), png(QStringLiteral("c.png"))};
    ASSERT_TRUE(road->beginImport(three, std::nullopt, Point{500, 400}, std::nullopt, std::nullopt));
    ASSERT_TRUE(idle());
    EXPECT_EQ(pinPoints(), (std::vector<Point>{{500, 400}, {524, 424}, {548, 448}}));
    EXPECT_EQ(currentToast()->message, QStringLiteral("已置顶3张图片"));

    SCOPED_TRACE("the workspace refuses the second image: the batch stops, the first pin stays");
    host.pins.clear();
    host.addCalls = 0;
    host.refusedAdds = {1};
    ASSERT_TRUE(road->beginImport(three, std::nullopt, Point{500, 400}, std::nullopt, std::nullopt));
    ASSERT_TRUE(idle());
    EXPECT_EQ(pinPoints(), (std::vector<Point>{{500, 400}}));
    ASSERT_TRUE(currentToast());
    EXPECT_EQ(currentToast()->phase, Phase::failure);
    EXPECT_EQ(currentToast()->message, QStringLiteral("已置顶1张，另有2项需查看"));
    EXPECT_EQ(currentToast()->renderer->detailsText,
              QStringLiteral("已置顶 1 张图片\n未能置顶：\nb.png：无法创建置顶图片，原有图片仍然保留。\n尚未处理 1 项：\nc.png"));
}

TEST_F(PinRoadTest, FinishImportReportsEachOutcome)
{
    using Failure = ImageImportService::Failure;
    struct Case {
        const char* name;
        BatchStatus status;
        int accepted;
        QStringList skipped;
        QList<Failure> failures;
        QStringList unprocessed;
        std::optional<Phase> phase; // absent: removed
        QString message;
        std::optional<QString> details;
    };
    // The batches' bookkeeping in a store of its own, apart from the toasts' leases.
    auto batches = std::make_shared<ImageResourceStore>(qint64(1) << 20);
    const Failure changed{QStringLiteral("剪贴板图片"), ImageImportService::clipboardChangedReason()};
    const std::vector<Case> cases{
        {"three pinned", BatchStatus::completed(), 3, {}, {}, {}, Phase::success, QStringLiteral("已置顶3张图片"), {}},
        {"two pinned, one skipped", BatchStatus::completed(), 2, {QStringLiteral("notes.txt")}, {}, {}, Phase::failure,
         QStringLiteral("已置顶2张，另有1项需查看"), QStringLiteral("已置顶 2 张图片\n已跳过：\nnotes.txt")},
        {"busy", BatchStatus::busy(), 0, {}, {}, {}, Phase::failure, PinRequestRoad::importerBusyMessage(), {}},
        {"cancelled without issues", BatchStatus::cancelled(), 1, {}, {}, {}, std::nullopt, {}, {}},
        {"cancelled with one left", BatchStatus::cancelled(), 1, {}, {}, {QStringLiteral("b.png")}, Phase::failure,
         QStringLiteral("已置顶1张，另有1项需查看"),
         QStringLiteral("已置顶 1 张图片\n尚未处理 1 项：\nb.png\n操作已取消，已置顶的图片仍保留。")},
        {"clipboard changed", BatchStatus::stopped(ImageImportService::StopReason::clipboardChanged), 0, {}, {changed}, {},
         Phase::failure, QStringLiteral("已置顶0张，另有1项需查看"),
         QStringLiteral("已置顶 0 张图片\n未能置顶：\n剪贴板图片：剪贴板内容已变化，请重新置顶。\n剪贴板内容已变化，已停止读取剩余图片。")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QUuid id = QUuid::createUuid();
        ASSERT_TRUE(feedback->begin(id, host.toast.owner, pointer, PinRequestRoad::pinningMessage(), {}));
        const auto metadata = batches->reserveWork(1000, ImageResourceStore::WorkKind::input, 0);
        auto result = std::make_shared<ImageImportService::BatchResult>(c.status, batches, metadata);
        for (int i = 0; i < c.accepted; ++i)
            result->acceptedIDs << QUuid::createUuid();
        result->skipped = c.skipped;
        result->failures = c.failures;
        result->unprocessed = c.unprocessed;
        road->finishImport(result, id);
        const FeedbackCoordinator::Record* record = feedback->record(id);
        if (!c.phase) {
            EXPECT_FALSE(record);
        } else {
            ASSERT_TRUE(record);
            EXPECT_EQ(record->phase, *c.phase);
            EXPECT_EQ(record->message, c.message);
            EXPECT_EQ(record->renderer->detailsText, c.details);
        }
        // The bookkeeping is held while the details can be read, and ends with the toast.
        EXPECT_EQ(batches->reservedBytes() > 0, c.details.has_value());
        result.reset();
        feedback->remove(id);
        EXPECT_EQ(batches->reservedBytes(), 0);
    }

    SCOPED_TRACE("the toast is gone: the bookkeeping ends at once");
    const auto metadata = batches->reserveWork(1000, ImageResourceStore::WorkKind::input, 0);
    auto result = std::make_shared<ImageImportService::BatchResult>(BatchStatus::completed(), batches, metadata);
    result->skipped << QStringLiteral("x");
    road->finishImport(result, QUuid::createUuid());
    EXPECT_EQ(batches->reservedBytes(), 0);
}

TEST_F(PinRoadTest, CancellingWhileReadingLeavesNothing)
{
    focus->setFront(fileManagerApp);
    endpoint->script.delay = 150ms; // a slow file manager
    clipboardImage();
    road->beginSmartPin(std::nullopt);
    ASSERT_TRUE(currentToast());
    EXPECT_EQ(currentToast()->message, PinRequestRoad::readingMessage());
    ASSERT_TRUE(runUntil([&] { return bool(currentToast()->renderer->action()); })); // shown after its delay
    currentToast()->renderer->invokeAction(); // the toast's cancel button
    ASSERT_TRUE(idle());
    EXPECT_TRUE(feedback->recordIDs().empty());
    EXPECT_TRUE(host.pins.empty());
    EXPECT_FALSE(road->hasImportTask());
}

TEST_F(PinRoadTest, AMessageBecomesTheRequestsFailureToast)
{
    focus->setFront(fileManagerApp);
    endpoint->script.permission = FileManagerEndpoint::Permission::denied;
    road->beginSmartPin(std::nullopt);
    ASSERT_TRUE(idle());
    ASSERT_TRUE(currentToast());
    EXPECT_EQ(currentToast()->phase, Phase::failure);
    EXPECT_EQ(currentToast()->message, PinRequestCoordinator::deniedMessage());
    EXPECT_TRUE(host.pins.empty());
}

TEST_F(PinRoadTest, TheToastRegistryRefusingEndsTheRequestWithANotice)
{
    // 32 pending toasts of another owner fill the registry.
    for (int i = 0; i < FeedbackCoordinator::pendingCap; ++i)
        ASSERT_TRUE(feedback->begin(QUuid::createUuid(), QUuid::createUuid(), pointer, QStringLiteral("…"), {}));
    road->beginSmartPin(std::nullopt);
    EXPECT_FALSE(road->hasPinRequestTask());
    EXPECT_EQ(host.notices, QStringList{PinRequestRoad::toastRefusedMessage()});
}

TEST_F(PinRoadTest, TheMenuItemClaimsThePreparedRequestOnlyWhileTheMenuIsOpen)
{
    clipboardImage();
    host.recordingPinShortcut = true; // the hot key would be refused; the menu item is not
    std::shared_ptr<PinMenuInvocation> seen;
    host.whileMenuOpen = [&] {
        seen = road->menuInvocation();
        ASSERT_TRUE(seen);
        EXPECT_EQ(seen->state, PinMenuInvocation::State::tracking);
        road->pasteAsPin();
        road->pasteAsPin(); // a second choice claims nothing more
    };
    road->showStatusMenu();
    ASSERT_TRUE(runUntil([&] { return host.pins.size() == 1 && !road->hasImportTask(); }));
    EXPECT_EQ(seen->state, PinMenuInvocation::State::claimed);
    EXPECT_EQ(seen->request.origin.trigger, PinTrigger::menu);
    EXPECT_FALSE(road->menuInvocation());

    SCOPED_TRACE("closed without a choice: cancelled, and the item afterwards starts nothing");
    host.pins.clear();
    host.whileMenuOpen = [&] { seen = road->menuInvocation(); };
    road->showStatusMenu();
    ASSERT_TRUE(runUntil([&] { return seen && !road->hasMenuPreparationTask(); }));
    spin(20ms);
    EXPECT_EQ(seen->state, PinMenuInvocation::State::cancelled);
    EXPECT_FALSE(road->menuInvocation());
    const size_t toastsBefore = feedback->recordIDs().size();
    road->pasteAsPin();
    spin(20ms);
    EXPECT_FALSE(road->hasPinRequestTask());
    EXPECT_EQ(feedback->recordIDs().size(), toastsBefore);
    EXPECT_TRUE(host.pins.empty());
}

TEST_F(PinRoadTest, ASecondClickWhileTheMenuIsPreparedOpensNothing)
{
    focus->setFront(fileManagerApp);
    endpoint->script.delay = 100ms;
    road->showStatusMenu();
    ASSERT_TRUE(road->hasMenuPreparationTask());
    road->showStatusMenu();
    EXPECT_FALSE(road->hasMenuPreparationTask());
    spin(400ms);
    EXPECT_FALSE(host.calls.contains(QStringLiteral("menu")));
    EXPECT_FALSE(road->menuInvocation());
}

TEST_F(PinRoadTest, TheOpenPanelSuspendsHotKeysOnlyWhileOpenAndItsFinishChecksTheGuardsAgain)
{
    const QUrl a = png(QStringLiteral("a.png"));
    SCOPED_TRACE("cancelled: no toast");
    road->openAsPin();
    ASSERT_TRUE(host.openPanelFinished);
    EXPECT_TRUE(host.alert);
    host.openPanelFinished(std::nullopt);
    EXPECT_FALSE(host.alert);
    EXPECT_TRUE(feedback->recordIDs().empty());

    SCOPED_TRACE("a capture began meanwhile: nothing is imported");
    road->openAsPin();
    host.captureTask = true;
    host.openPanelFinished(QList<QUrl>{a});
    EXPECT_FALSE(road->hasImportTask());
    EXPECT_TRUE(feedback->recordIDs().empty());
    host.captureTask = false;

    SCOPED_TRACE("chosen: pinned at the pointer of the moment the panel opened");
    road->openAsPin();
    pointer = Point{900, 900};
    host.openPanelFinished(QList<QUrl>{a});
    ASSERT_TRUE(idle());
    EXPECT_EQ(pinPoints(), (std::vector<Point>{{100, 100}}));
}

// --- What the user sees ----------------------------------------------------------------------

QImage renderPanel(QWidget* panel, double scale)
{
    QImage image((QSizeF(panel->size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(QColor(214, 222, 230));
    QPainter painter(&image);
    panel->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

TEST_F(PinRoadTest, ToastsOfARequestFromReadingToItsReport)
{
    for (double scale : {1.0, 2.0}) {
        std::vector<QImage> tiles;
        const auto take = [&](const FeedbackCoordinator::Record* record) {
            ASSERT_TRUE(record);
            ASSERT_TRUE(runUntil([&] { return record->renderer->panel() && record->renderer->presentation(); }));
            tiles.push_back(renderPanel(record->renderer->panel(), scale));
            const QRectF body = record->renderer->surface()->bodyRect();
            const QColor inside = tiles.back().pixelColor(QPoint(int((body.left() + 8) * scale), int(body.center().y() * scale)));
            EXPECT_GT(qGray(inside.rgb()), 240) << "the light body";
        };
        // Reading: a slow file manager in front.
        focus->setFront(fileManagerApp);
        endpoint->script.delay = 150ms;
        road->beginSmartPin(std::nullopt);
        ASSERT_TRUE(runUntil([&] { return currentToast() && bool(currentToast()->renderer->action()); }));
        take(currentToast());
        currentToast()->renderer->invokeAction();
        ASSERT_TRUE(idle());
        focus->setFront(editorApp);

        // Pinning: a clipboard whose owner is slow to list its types.
        pasteboard->typesStall = true;
        pasteboard->stallFor = 300ms;
        road->beginSmartPin(std::nullopt); // "正在读取图片…" restarted in place as "正在置顶图片…"
        ASSERT_TRUE(runUntil([&] {
            return currentToast() && currentToast()->renderer->labelText() == PinRequestRoad::pinningMessage()
                && bool(currentToast()->renderer->action());
        })) << (currentToast() ? currentToast()->message.toStdString() + " " + std::to_string(int(currentToast()->phase)) : "none")
            << " " << pasteboard->reads;
        take(currentToast());
        ASSERT_TRUE(idle());
        pasteboard->typesStall = false;
        feedback->remove(*host.toast.current);

        // Success, then a report with details.
        ASSERT_TRUE(road->beginImport(QList<QUrl>{png(QStringLiteral("a.png"))}, std::nullopt, std::nullopt, std::nullopt, std::nullopt));
        ASSERT_TRUE(idle());
        take(currentToast());
        feedback->remove(*host.toast.current);
        ASSERT_TRUE(road->beginImport(QList<QUrl>{png(QStringLiteral("a.png")), text(QStringLiteral("notes.txt"))},
                                      std::nullopt, std::nullopt, std::nullopt, std::nullopt));
        ASSERT_TRUE(idle());
        take(currentToast());
        currentToast()->renderer->invokeAction(); // 详情
        ASSERT_TRUE(runUntil([&] { return currentToast()->renderer->detailsWindow(); }));
        QWidget* details = currentToast()->renderer->detailsWindow();
        details->resize(details->sizeHint());
        tiles.push_back(renderPanel(details, scale));
        feedback->remove(*host.toast.current);

        saveTestImage(stackedSheet(tiles, QColor(214, 222, 230)), QStringLiteral("pin-request-toasts-scale%1").arg(int(scale)));
    }
}

// --- Requests from other programs ------------------------------------------------------------

TEST_F(PinRoadTest, ServiceRequestsPinTheirFilesAndEndTheirAccessOnce)
{
    const QUrl a = png(QStringLiteral("a.png"));
    const QUrl b = png(QStringLiteral("b.png"));
    PinServiceProvider& services = road->pinServices();

    SCOPED_TRACE("plain paths pin; access ends when the batch is reported");
    EXPECT_EQ(services.pinSelectedImages({a.toLocalFile(), b.toString()}), std::nullopt);
    EXPECT_EQ(access->open(), (QStringList{a.toLocalFile(), b.toLocalFile()}));
    ASSERT_TRUE(idle());
    EXPECT_EQ(host.pins.size(), 2u);
    EXPECT_EQ(pinPoints()[1], (Point{124, 124}));
    EXPECT_TRUE(access->open().isEmpty());
    EXPECT_TRUE(services.access().empty());

    SCOPED_TRACE("only a web address");
    const QStringList before = access->log();
    EXPECT_EQ(services.pinSelectedImages({QStringLiteral("https://example.com/a.png")}), PinServiceProvider::noFilesMessage());
    EXPECT_EQ(access->log(), before);

    SCOPED_TRACE("refused during an import: no access left open");
    ASSERT_TRUE(road->beginImport(QList<QUrl>{a}, std::nullopt, std::nullopt, std::nullopt, std::nullopt));
    EXPECT_EQ(services.pinSelectedImages({b.toLocalFile()}), PinServiceProvider::refusedMessage());
    EXPECT_TRUE(access->open().isEmpty());
    ASSERT_TRUE(idle());

    SCOPED_TRACE("quitting mid-import ends the access");
    EXPECT_EQ(services.pinSelectedImages({a.toLocalFile()}), std::nullopt);
    EXPECT_EQ(access->open(), QStringList{a.toLocalFile()});
    road->shutdown();
    EXPECT_TRUE(access->open().isEmpty());
    ASSERT_TRUE(idle());
    const QStringList log = access->log();
    EXPECT_EQ(log.count(QStringLiteral("stop ") + a.toLocalFile()), log.count(QStringLiteral("start ") + a.toLocalFile()));
}

TEST_F(PinRoadTest, TheInstanceAnswersPinRequestsAndSaysRefusalsAtThePointer)
{
    const auto handle = road->pinRequestHandler();
    const auto request = [](const QStringList& files) { return InstanceChannel::pinRequestOf(files); };
    EXPECT_EQ(handle(request({png(QStringLiteral("a.png")).toLocalFile()})), InstanceChannel::accepted());
    EXPECT_EQ(handle(request({QStringLiteral("https://example.com/a.png")})),
              InstanceChannel::refused(PinServiceProvider::noFilesMessage()));
    EXPECT_EQ(host.notices, QStringList{PinServiceProvider::noFilesMessage()});
    EXPECT_EQ(handle(request({QStringLiteral("/b.png")})), InstanceChannel::refused(PinServiceProvider::refusedMessage()))
        << "the first is still importing";
    EXPECT_EQ(handle(QJsonObject{{QStringLiteral("request"), InstanceChannel::pinRequest}}), InstanceChannel::refused({}));
    ASSERT_TRUE(idle());
    EXPECT_EQ(host.pins.size(), 1u);
    EXPECT_TRUE(access->open().isEmpty());
}

TEST(PinServiceProvider, FilesOfARequestAndBalancedAccess)
{
    const std::vector<std::pair<QStringList, QList<QUrl>>> cases{
        {{QStringLiteral("/home/u/a.png")}, {QUrl::fromLocalFile(QStringLiteral("/home/u/a.png"))}},
        {{QStringLiteral("file:///home/u/b%20c.png")}, {QUrl::fromLocalFile(QStringLiteral("/home/u/b c.png"))}},
        {{QStringLiteral("relative.png"), QStringLiteral("https://example.com/x.png"), QString()}, {}},
    };
    for (const auto& [entries, urls] : cases)
        EXPECT_EQ(PinServiceProvider::files(entries), urls) << entries.join(QLatin1Char(' ')).toStdString();

    auto access = std::make_shared<FakeFolderAccess>();
    QUuid last;
    PinServiceProvider provider(
        [&](const QList<QUrl>&, const PinOriginContext& origin) {
            last = origin.id;
            return true;
        },
        access, [] { return PinOriginContext{QUuid::createUuid(), PinTrigger::service}; });
    EXPECT_EQ(provider.pinSelectedImages({QStringLiteral("/a.png")}), std::nullopt);
    provider.finishRequest(last);
    provider.finishRequest(last);
    provider.finishRequest(QUuid::createUuid());
    EXPECT_EQ(access->log(), (QStringList{QStringLiteral("start /a.png"), QStringLiteral("stop /a.png")}));

    access->accessGranted = false; // access that did not start is never stopped
    EXPECT_EQ(provider.pinSelectedImages({QStringLiteral("/b.png")}), std::nullopt);
    provider.finishAllRequests();
    EXPECT_FALSE(access->log().contains(QStringLiteral("stop /b.png")));
}

} // namespace
} // namespace vorlith
