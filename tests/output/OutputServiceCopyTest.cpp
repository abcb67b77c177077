#include "app/output/OutputService.h"
#include "app/base/ImageResourceStore.h"
#include "core/SharedWorkQueues.h"
#include "support/FakePasteboard.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QColorSpace>

#include <gtest/gtest.h>

#include <atomic>
#include <semaphore>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// An encoder the test holds open until it lets it go; it then encodes for real or fails.
class GatedEncoder {
public:
    OutputService::Encoder encoder()
    {
        return [state = m_state](const QImage& image, ImageFormat format) {
            state->started = true;
            state->gate.acquire();
            if (state->fail)
                throw std::runtime_error("encoder failed");
            return OutputService::encode(image, format);
        };
    }
    void release(bool fail = false)
    {
        m_state->fail = fail;
        if (!m_state->released.exchange(true))
            m_state->gate.release();
    }
    bool started() const { return m_state->started; }
    ~GatedEncoder() { release(); }

private:
    struct State {
        std::binary_semaphore gate{0};
        std::atomic<bool> started = false;
        std::atomic<bool> released = false;
        std::atomic<bool> fail = false;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

QImage sample()
{
    QImage image(40, 30, QImage::Format_ARGB32_Premultiplied);
    image.fill(qRgba(10, 120, 200, 255));
    image.setPixel(3, 4, qRgba(0, 0, 0, 0));
    return image;
}

struct Completions {
    QList<OutputResult> results;
    QList<bool> busyWhenCalled;
    OutputService::Completion record(OutputService& service)
    {
        return [this, &service](const OutputResult& result) {
            results << result;
            busyWhenCalled << service.isBusy();
        };
    }
};

class OutputServiceCopyTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        // The encoding queue is shared by the whole process: leave it empty.
        EXPECT_TRUE(runUntil([] { return SharedWorkQueues::outputEncoding().runningCount() == 0; }));
    }

    std::shared_ptr<FakePasteboard> pasteboard = std::make_shared<FakePasteboard>();
    std::shared_ptr<ImageResourceStore> storeHandle = std::make_shared<ImageResourceStore>(qint64(1) << 30);
    ImageResourceStore& store = *storeHandle;
};

} // namespace

TEST_F(OutputServiceCopyTest, CopiesOnePngItemAndCompletesOnceWhenIdle)
{
    OutputService service(pasteboard);
    service.setResources(storeHandle);
    Completions done;
    service.copy(sample(), std::nullopt, done.record(service));
    EXPECT_TRUE(service.isBusy());
    EXPECT_EQ(store.work().size(), 1) << "workspace reserved before encoding";
    ASSERT_TRUE(runUntil([&] { return !done.results.isEmpty(); }));
    spin(20ms);

    EXPECT_EQ(done.results, QList<OutputResult>{OutputResult::success()});
    EXPECT_EQ(done.busyWhenCalled, QList<bool>{false});
    ASSERT_EQ(pasteboard->items.size(), 1);
    ASSERT_EQ(pasteboard->items[0].size(), 1);
    EXPECT_EQ(pasteboard->items[0][0].type, QStringLiteral("image/png"));
    const QImage pasted = QImage::fromData(*pasteboard->items[0][0].data).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage expected = sample();
    expected.setColorSpace(QColorSpace(QColorSpace::SRgb)); // the PNG says sRGB
    EXPECT_EQ(pasted, expected);
    EXPECT_TRUE(runUntil([&] { return store.work().isEmpty(); }));
}

TEST_F(OutputServiceCopyTest, CallWhileBusyIsIgnoredWithoutItsCompletion)
{
    GatedEncoder gate;
    OutputService service(pasteboard, gate.encoder());
    service.setResources(storeHandle);
    Completions first, second, text;
    service.copy(sample(), std::nullopt, first.record(service));
    ASSERT_TRUE(runUntil([&] { return gate.started(); }));
    service.copy(sample(), std::nullopt, second.record(service));
    service.copy(QStringLiteral("#FFFFFF"), text.record(service));
    gate.release();
    ASSERT_TRUE(runUntil([&] { return !first.results.isEmpty(); }));
    spin(30ms);
    EXPECT_EQ(first.results, QList<OutputResult>{OutputResult::success()});
    EXPECT_TRUE(second.results.isEmpty());
    EXPECT_TRUE(text.results.isEmpty());
}

TEST_F(OutputServiceCopyTest, CancelDuringEncodingReportsOnceAndNeverTouchesTheClipboard)
{
    GatedEncoder gate;
    OutputService service(pasteboard, gate.encoder());
    service.setResources(storeHandle);
    pasteboard->items = {FakePasteboard::item({{"text/plain", "before"}})};
    Completions done;
    service.copy(sample(), std::nullopt, done.record(service));
    ASSERT_TRUE(runUntil([&] { return gate.started(); }));

    service.cancel();
    EXPECT_EQ(done.results, QList<OutputResult>{OutputResult::cancelled()}) << "at once";
    EXPECT_FALSE(service.isBusy());
    service.cancel();
    EXPECT_EQ(store.work().size(), 1) << "held until the encoding job returns";

    gate.release();
    EXPECT_TRUE(runUntil([&] { return store.work().isEmpty(); }));
    spin(20ms);
    EXPECT_EQ(done.results.size(), 1);
    EXPECT_TRUE(pasteboard->writes.isEmpty());
    EXPECT_EQ(pasteboard->readableItems().size(), 1);
}

TEST_F(OutputServiceCopyTest, EncodingAndItemFailuresHaveTheirOwnMessages)
{
    struct Case {
        const char* name;
        OutputService::Encoder encoder;
        QString message;
    };
    const std::vector<Case> cases = {
        {"encoder throws", [](const QImage&, ImageFormat) -> QByteArray { throw std::runtime_error("no"); },
         QStringLiteral("图片处理失败，请保留截图并重试。")},
        {"the item refuses null data", [](const QImage&, ImageFormat) { return QByteArray(); },
         QStringLiteral("无法准备剪贴板图片，请重试。")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OutputService service(pasteboard, c.encoder);
        service.setResources(storeHandle);
        Completions done;
        service.copy(sample(), std::nullopt, done.record(service));
        ASSERT_TRUE(runUntil([&] { return !done.results.isEmpty(); }));
        EXPECT_EQ(done.results, QList<OutputResult>{OutputResult::failure(c.message)});
        EXPECT_TRUE(pasteboard->writes.isEmpty());
        EXPECT_TRUE(runUntil([&] { return store.work().isEmpty(); }));
    }
}

TEST_F(OutputServiceCopyTest, RefusedWorkspaceFailsBeforeAnyEncoding)
{
    std::shared_ptr<ImageResourceStore> tinyHandle = std::make_shared<ImageResourceStore>(qint64(1000));
    ImageResourceStore& tiny = *tinyHandle;
    bool encoded = false;
    OutputService service(pasteboard, [&](const QImage& image, ImageFormat format) {
        encoded = true;
        return OutputService::encode(image, format);
    });
    service.setResources(tinyHandle);
    Completions done;
    service.copy(sample(), std::nullopt, done.record(service));
    EXPECT_EQ(done.results, QList<OutputResult>{OutputResult::failure(
                                QStringLiteral("当前图片占用较多内存，请先处理并关闭部分贴图，再添加图片。"))});
    EXPECT_FALSE(service.isBusy());
    spin(20ms);
    EXPECT_FALSE(encoded);
    EXPECT_TRUE(tiny.work().isEmpty());
}

TEST_F(OutputServiceCopyTest, CompletionMayStartTheNextCopyAtOnce)
{
    OutputService service(pasteboard);
    service.setResources(storeHandle);
    QList<OutputResult> results;
    service.copy(sample(), std::nullopt, [&](const OutputResult& first) {
        results << first;
        service.copy(sample(), std::nullopt, [&](const OutputResult& second) { results << second; });
    });
    ASSERT_TRUE(runUntil([&] { return results.size() == 2; }));
    EXPECT_EQ(results, (QList<OutputResult>{OutputResult::success(), OutputResult::success()}));
    EXPECT_EQ(pasteboard->writes.size(), 2);
}

TEST_F(OutputServiceCopyTest, TextCopyRunsTheSameTransaction)
{
    OutputService service(pasteboard);
    Completions done;
    service.copy(QStringLiteral("#1A2B3C"), done.record(service));
    EXPECT_TRUE(done.results.isEmpty()) << "the previous contents are read first, without blocking";
    EXPECT_TRUE(service.isBusy());
    ASSERT_TRUE(runUntil([&] { return done.results.size() == 1; }));
    EXPECT_EQ(done.results[0], OutputResult::success());
    EXPECT_EQ(done.busyWhenCalled, QList<bool>{false});
    EXPECT_EQ(pasteboard->items[0][0].type, QStringLiteral("text/plain"));
    EXPECT_EQ(pasteboard->items[0][0].data, QByteArray("#1A2B3C"));

    // A failing write puts the previous contents back, as for images.
    pasteboard->failingWrites = 1;
    service.copy(QStringLiteral("#000000"), done.record(service));
    ASSERT_TRUE(runUntil([&] { return done.results.size() == 2; }));
    EXPECT_EQ(done.results[1].message, QStringLiteral("剪贴板写入失败，原剪贴板内容已保留。截图仍然保留，请重试。"));
    EXPECT_EQ(pasteboard->items[0][0].data, QByteArray("#1A2B3C"));

    service.copy(QString(), done.record(service));
    EXPECT_EQ(done.results.last().message, QStringLiteral("无法准备剪贴板文字，请重试。")) << "refused before any read";
}

// While the snapshot waits for a slow owner the operation can be withdrawn (cancelled, or
// cancelled and replaced by a new copy): the waiting transaction must then write nothing.
TEST_F(OutputServiceCopyTest, AWithdrawnCopyWritesNothingOnceTheSnapshotArrives)
{
    FakePasteboard::Item slow = FakePasteboard::item({{"text/plain", "before"}, {"image/png", "slow"}});
    slow[1].stalls = true;
    pasteboard->items = {slow};
    pasteboard->stallFor = 150ms;
    OutputService service(pasteboard);
    service.setResources(storeHandle);

    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced ? "replaced by a new copy" : "cancelled");
        pasteboard->writes.clear();
        const int readsBefore = pasteboard->reads;
        Completions first, second;
        service.copy(QStringLiteral("#111111"), first.record(service));
        ASSERT_TRUE(runUntil([&] { return pasteboard->reads >= readsBefore + 2; })) << "waiting on the slow type";
        service.cancel();
        EXPECT_EQ(first.results, QList<OutputResult>{OutputResult::cancelled()});
        if (replaced) {
            pasteboard->items = {FakePasteboard::item({{"text/plain", "before"}})};
            service.copy(QStringLiteral("#222222"), second.record(service));
            ASSERT_TRUE(runUntil([&] { return !second.results.isEmpty(); }));
            EXPECT_EQ(second.results, QList<OutputResult>{OutputResult::success()});
        }
        spin(250ms);
        EXPECT_EQ(first.results.size(), 1);
        EXPECT_EQ(pasteboard->writes.size(), replaced ? 1 : 0);
        if (replaced) {
            EXPECT_EQ(pasteboard->items[0][0].data, QByteArray("#222222"));
        }
        pasteboard->items = {slow};
    }
}

TEST_F(OutputServiceCopyTest, WorkspaceIsFourTimesTheLargerSizePlus64KiB)
{
    const QImage image(10, 10, QImage::Format_ARGB32_Premultiplied); // 400 bytes
    EXPECT_EQ(OutputService::encodingWorkspace(image, std::nullopt), 4 * 400 + 65'536);
    EXPECT_EQ(OutputService::encodingWorkspace(image, 1000), 4 * 1000 + 65'536);
    EXPECT_EQ(OutputService::encodingWorkspace(image, 100), 4 * 400 + 65'536);
    EXPECT_EQ(OutputService::encodingWorkspace(QImage(), std::nullopt), 0);
    EXPECT_EQ(OutputService::encodingWorkspace(image, std::numeric_limits<qint64>::max() / 2),
              std::numeric_limits<qint64>::max());
}

TEST_F(OutputServiceCopyTest, ACopyAfterACancelledOneSucceedsWhileTheFirstEncodeIsStillRunning)
{
    // The first encode is held until the second copy has finished; the late result of the
    // first must then change nothing.
    auto firstGate = std::make_shared<std::binary_semaphore>(0);
    auto calls = std::make_shared<std::atomic<int>>(0);
    const OutputService::Encoder encoder = [firstGate, calls](const QImage& image, ImageFormat format) {
        if (calls->fetch_add(1) == 0)
            firstGate->acquire();
        return OutputService::encode(image, format);
    };
    OutputService service(pasteboard, encoder);
    service.setResources(storeHandle);
    Completions first, second;
    service.copy(sample(), std::nullopt, first.record(service));
    ASSERT_TRUE(runUntil([&] { return calls->load() == 1; }));
    service.cancel();
    service.copy(sample(), std::nullopt, second.record(service));
    ASSERT_TRUE(runUntil([&] { return !second.results.isEmpty(); }));
    firstGate->release();
    ASSERT_TRUE(runUntil([] { return SharedWorkQueues::outputEncoding().runningCount() == 0; }));
    spin(30ms);

    EXPECT_EQ(first.results, QList<OutputResult>{OutputResult::cancelled()});
    EXPECT_EQ(second.results, QList<OutputResult>{OutputResult::success()});
    EXPECT_EQ(pasteboard->writes.size(), 1) << "the clipboard is written once, by the second copy";
    EXPECT_TRUE(runUntil([&] { return store.work().isEmpty(); }));
}
