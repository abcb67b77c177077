#include "app/output/PasteboardTransaction.h"
#include "support/FakePasteboard.h"
#include "support/TaskOutcome.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace vorlith;
using test::FakePasteboard;
using namespace std::chrono_literals;

namespace {

PasteboardItem pngItem()
{
    PasteboardItem item;
    item.setData(PasteboardType::png(), QByteArray("new png"));
    return item;
}

PasteboardItem plain(std::initializer_list<std::pair<const char*, const char*>> entries)
{
    PasteboardItem item;
    for (const auto& [type, data] : entries)
        item.setData(QString::fromUtf8(type), QByteArray(data));
    return item;
}

// Runs one transaction to its end.
OutputResult commit(const std::shared_ptr<FakePasteboard>& pasteboard, const PasteboardWriter& writer,
                    const PasteboardItem& item)
{
    const auto outcome = test::finish(PasteboardTransaction::commit(pasteboard, writer, item, {}, {}));
    EXPECT_TRUE(outcome.finished && !outcome.error);
    return outcome.value && *outcome.value ? **outcome.value : OutputResult::cancelled();
}

const FakePasteboard::Item otherAppItem = FakePasteboard::item({{"text/plain", "someone else"}});

struct Case {
    const char* name;
    QList<FakePasteboard::Item> before;
    int failingWrites = 0;
    std::function<void(FakePasteboard&)> setUp;
    // Empty for success.
    QString message;
    QList<PasteboardItem> after;
    int writes = 0;
    int clears = 0;
};

} // namespace

TEST(PasteboardTransaction, CaseTable)
{
    const QString restored = QStringLiteral("剪贴板写入失败，原剪贴板内容已保留。截图仍然保留，请重试。");
    const QString unreadable = QStringLiteral("当前剪贴板暂时无法读取，请稍后重试或先保存截图。");
    const FakePasteboard::Item textAndHtml =
        FakePasteboard::item({{"text/plain", "old"}, {"text/html", "<b>old</b>"}});
    const FakePasteboard::Item partlyReadable =
        FakePasteboard::item({{"text/plain", "old"}, {"application/x-private", nullptr}});

    const QString partly =
        QStringLiteral("复制失败，可读取的原剪贴板内容已恢复；部分应用专用格式无法恢复。截图仍然保留，请重试或保存。");
    FakePasteboard::Item oneTypeStalls = FakePasteboard::item({{"text/plain", "old"}, {"image/png", "never comes"}});
    oneTypeStalls[1].stalls = true;
    const auto quickStalls = [](FakePasteboard& p) { p.stallFor = 20ms; };

    const std::vector<Case> cases = {
        {"empty clipboard, write succeeds", {}, 0, {}, {}, {pngItem()}, 1, 1},
        {"empty clipboard, write fails: nothing to restore", {}, 1, {}, restored, {}, 1, 2},
        {"readable contents replaced", {textAndHtml}, 0, {}, {}, {pngItem()}, 1, 1},
        {"write fails: every type put back in order", {textAndHtml, FakePasteboard::item({{"text/uri-list", "file:///a"}})},
         1, {}, restored,
         {plain({{"text/plain", "old"}, {"text/html", "<b>old</b>"}}), plain({{"text/uri-list", "file:///a"}})}, 2, 2},
        {"partly unreadable item: copy still succeeds", {partlyReadable}, 0, {}, {}, {pngItem()}, 1, 1},
        {"partly unreadable item, write fails: readable part restored", {partlyReadable}, 1, {},
         partly, {plain({{"text/plain", "old"}})}, 2, 2},
        {"wholly unreadable item: clipboard untouched",
         {FakePasteboard::item({{"application/x-a", nullptr}, {"application/x-b", nullptr}})}, 0, {}, unreadable, {}, 0, 0},
        {"item without types: clipboard untouched", {FakePasteboard::Item{}}, 0, {}, unreadable, {}, 0, 0},
        {"a type the copy refuses counts as unreadable", {FakePasteboard::item({{"", "nameless"}})}, 0, {}, unreadable, {}, 0, 0},
        {"another application writes during the snapshot", {textAndHtml}, 0,
         [](FakePasteboard& p) {
             p.onRead = [](FakePasteboard& q) {
                 q.onRead = nullptr;
                 q.writeAsOtherApplication({otherAppItem});
             };
         },
         QStringLiteral("剪贴板刚被其他应用更新，请重试。截图仍然保留。"), {plain({{"text/plain", "someone else"}})}, 0, 0},
        {"another application writes after the clear, write fails: its contents stay", {textAndHtml}, 1,
         [](FakePasteboard& p) { p.onWrite = [](FakePasteboard& q) { q.writeAsOtherApplication({otherAppItem}); }; },
         QStringLiteral("复制失败，剪贴板已被其他应用更新。截图仍然保留，请重试。"), {plain({{"text/plain", "someone else"}})}, 1,
         1},
        {"another application writes after the clear, write succeeds", {textAndHtml}, 0,
         [](FakePasteboard& p) {
             p.onClear = [](FakePasteboard& q) {
                 q.onClear = nullptr;
                 q.onWrite = [](FakePasteboard& r) { r.writeAsOtherApplication({otherAppItem}); };
             };
         },
         {}, {pngItem()}, 1, 1},
        {"owner does not list its types: clipboard untouched", {textAndHtml}, 0,
         [&](FakePasteboard& p) {
             quickStalls(p);
             p.typesStall = true;
         },
         unreadable, {}, 0, 0},
        {"one stalled type counts as unreadable: copy succeeds", {oneTypeStalls}, 0, quickStalls, {}, {pngItem()}, 1, 1},
        {"one stalled type, write fails: the rest restored", {oneTypeStalls}, 1, quickStalls, partly,
         {plain({{"text/plain", "old"}})}, 2, 2},
        {"write fails and the restore fails too", {textAndHtml}, 2, {},
         QStringLiteral("剪贴板暂时不可用，原内容未能恢复。截图仍然保留，请保存图片后重试。"), {}, 2, 2},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto shared = std::make_shared<FakePasteboard>();
        FakePasteboard& pasteboard = *shared;
        pasteboard.items = c.before;
        pasteboard.failingWrites = c.failingWrites;
        if (c.setUp)
            c.setUp(pasteboard);
        const bool untouched = c.writes == 0;
        const QList<PasteboardItem> original = pasteboard.readableItems();

        const OutputResult result = commit(shared, PasteboardTransaction::defaultWriter, pngItem());

        EXPECT_EQ(result, c.message.isEmpty() ? OutputResult::success() : OutputResult::failure(c.message));
        EXPECT_EQ(pasteboard.writes.size(), c.writes);
        EXPECT_EQ(pasteboard.clears, c.clears);
        if (untouched && c.after.isEmpty()) {
            EXPECT_EQ(pasteboard.readableItems(), original) << "the clipboard must be left as it was";
        } else {
            EXPECT_EQ(pasteboard.readableItems(), c.after);
        }
        if (!pasteboard.writes.isEmpty()) {
            EXPECT_EQ(pasteboard.writes.first(), QList<PasteboardItem>{pngItem()}) << "one item, the prepared one";
        }
    }
}

TEST(PasteboardTransaction, WriterIsUsedForTheCopyAndTheRestore)
{
    auto shared = std::make_shared<FakePasteboard>();
    FakePasteboard& pasteboard = *shared;
    pasteboard.items = {FakePasteboard::item({{"text/plain", "old"}})};
    QList<QList<PasteboardItem>> seen;
    int calls = 0;
    const PasteboardWriter writer = [&](Pasteboard& target, const QList<PasteboardItem>& items) {
        seen << items;
        return ++calls > 1 && target.writeObjects(items);
    };
    const OutputResult result = commit(shared, writer, pngItem());
    EXPECT_EQ(result.message, QStringLiteral("剪贴板写入失败，原剪贴板内容已保留。截图仍然保留，请重试。"));
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[1], QList<PasteboardItem>{plain({{"text/plain", "old"}})});
    EXPECT_EQ(pasteboard.readableItems(), seen[1]);
}

TEST(PasteboardSnapshot, TypesWorthRestoringKeepOneEncodingOfAPicture)
{
    const struct {
        QStringList offered;
        QStringList read;
    } cases[] = {
        // What a Qt program offers for a picture: its PNG and its text, not the other encodings.
        {{"application/x-qt-image", "image/png", "image/bmp", "image/jpeg", "image/ppm", "text/plain"},
         {"image/png", "text/plain"}},
        {{"image/bmp", "image/jpeg"}, {"image/bmp"}},
        {{"text/plain", "text/html", "text/uri-list", "application/x-private"},
         {"text/plain", "text/html", "text/uri-list", "application/x-private"}},
        {{"application/x-qt-image"}, {"application/x-qt-image"}},
        {{}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offered.join(' ').toStdString());
        EXPECT_EQ(PasteboardSnapshot::typesWorthRestoring(c.offered), c.read);
    }
}

namespace {

struct Timed {
    OutputResult result;
    qint64 ms = 0;
};

Timed commitTimed(const std::shared_ptr<FakePasteboard>& pasteboard, PasteboardSnapshot::Bounds bounds = {})
{
    QElapsedTimer elapsed;
    elapsed.start();
    const auto outcome =
        test::finish(PasteboardTransaction::commit(pasteboard, PasteboardTransaction::defaultWriter, pngItem(), {}, {}, bounds));
    EXPECT_TRUE(outcome.finished && !outcome.error);
    return {outcome.value && *outcome.value ? **outcome.value : OutputResult::cancelled(), elapsed.elapsed()};
}

const QString restoredWhole = QStringLiteral("剪贴板写入失败，原剪贴板内容已保留。截图仍然保留，请重试。");
const QString restoredPartly =
    QStringLiteral("复制失败，可读取的原剪贴板内容已恢复；部分应用专用格式无法恢复。截图仍然保留，请重试或保存。");

} // namespace

// Where a failed write leaves the clipboard as it was, nothing of the previous owner is read:
// an owner that never answers neither delays nor refuses the copy.
TEST(PasteboardTransaction, OneStepWritesReadNothingOfThePreviousOwner)
{
    for (const int failingWrites : {0, 1}) {
        SCOPED_TRACE(failingWrites ? "the write fails" : "the write succeeds");
        auto pasteboard = std::make_shared<FakePasteboard>();
        pasteboard->writesInOneStep = true;
        pasteboard->items = {FakePasteboard::item({{"text/plain", "old"}})};
        pasteboard->typesStall = true;
        pasteboard->stallFor = 5s;
        pasteboard->failingWrites = failingWrites;

        const Timed copy = commitTimed(pasteboard);
        EXPECT_EQ(copy.result, failingWrites ? OutputResult::failure(restoredWhole) : OutputResult::success());
        EXPECT_LT(copy.ms, 200);
        EXPECT_EQ(pasteboard->reads, 0);
        EXPECT_EQ(pasteboard->writes.size(), 1) << "no restore write";
        EXPECT_EQ(pasteboard->readableItems(),
                  failingWrites ? QList<PasteboardItem>{plain({{"text/plain", "old"}})} : QList<PasteboardItem>{pngItem()});
    }
}

// Where a snapshot is needed it is bounded: the types worth restoring, the bytes, a deadline.
// What a bound leaves out counts as lost; a listing that does not come in time is unreadable.
TEST(PasteboardTransaction, TheSnapshotIsBounded)
{
    FakePasteboard::Item qtPicture = FakePasteboard::item({{"application/x-qt-image", "qt"},
                                                           {"image/png", "png"},
                                                           {"image/bmp", "bmp"},
                                                           {"image/jpeg", "jpeg"},
                                                           {"text/plain", "caption"}});
    FakePasteboard::Item slowType = FakePasteboard::item({{"text/plain", "old"}, {"image/png", "late"}});
    slowType[1].stalls = true;
    const QByteArray big(4096, 'x');
    const struct {
        const char* name;
        QList<FakePasteboard::Item> before;
        bool typesStall;
        PasteboardSnapshot::Bounds bounds;
        QString message;
        QList<PasteboardItem> after;
        int reads;
    } cases[] = {
        {"a picture in many encodings: its PNG and text read, restored whole", {qtPicture}, false, {}, restoredWhole,
         {plain({{"image/png", "png"}, {"text/plain", "caption"}})}, 3},
        {"an owner slow on one type: the rest restored after the deadline", {slowType}, false, {50ms, 1 << 20},
         restoredPartly, {plain({{"text/plain", "old"}})}, 3},
        {"a type past the byte bound is left out",
         {FakePasteboard::item({{"text/plain", "old"}, {"image/png", big.constData()}})}, false, {300ms, 1024},
         restoredPartly, {plain({{"text/plain", "old"}})}, 3},
        {"types not listed in time: unreadable, nothing written", {slowType}, true, {50ms, 1 << 20},
         QStringLiteral("当前剪贴板暂时无法读取，请稍后重试或先保存截图。"), {plain({{"text/plain", "old"}})}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto pasteboard = std::make_shared<FakePasteboard>();
        pasteboard->items = c.before;
        pasteboard->typesStall = c.typesStall;
        pasteboard->stallFor = 5s;
        pasteboard->failingWrites = 1;

        const Timed copy = commitTimed(pasteboard, c.bounds);
        EXPECT_EQ(copy.result, OutputResult::failure(c.message));
        EXPECT_LT(copy.ms, c.bounds.deadline.count() + 200) << "never longer than the deadline";
        EXPECT_EQ(pasteboard->reads, c.reads);
        EXPECT_EQ(pasteboard->readableItems(), c.after);
    }
}
