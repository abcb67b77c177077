#include "app/base/JournalSink.h"

#include <QElapsedTimer>
#include <QList>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

using namespace vorlith;
using namespace std::chrono_literals;

namespace {

// A log reader the test can stall: every record waits until the reader is let go.
struct StalledReader {
    std::mutex mutex;
    std::condition_variable changed;
    bool stalled = true;
    int entered = 0;
    QList<JournalSink::Record> records;

    JournalSink::Writer writer()
    {
        return [this](const JournalSink::Record& record) {
            std::unique_lock lock(mutex);
            ++entered;
            changed.notify_all();
            changed.wait(lock, [&] { return !stalled; });
            records << record;
            changed.notify_all();
        };
    }
    bool waitFor(const std::function<bool()>& condition)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 5s, condition);
    }
    void letGo()
    {
        std::lock_guard lock(mutex);
        stalled = false;
        changed.notify_all();
    }
};

} // namespace

TEST(JournalSink, WritesEachRecordWithItsIdentifierAndCategoryInOrder)
{
    StalledReader reader;
    reader.letGo();
    JournalSink sink(reader.writer());
    for (int i = 0; i < 20; ++i)
        sink.write(QStringLiteral("app.vorlith.Vorlith"), QStringLiteral("capture"), QString::number(i));
    ASSERT_TRUE(reader.waitFor([&] { return reader.records.size() == 20; }));
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(reader.records[i].text, QString::number(i));
        EXPECT_EQ(reader.records[i].subsystem, QStringLiteral("app.vorlith.Vorlith"));
        EXPECT_EQ(reader.records[i].category, QStringLiteral("capture"));
    }
    EXPECT_EQ(sink.droppedCount(), 0u);
}

TEST(JournalSink, AStalledReaderNeverHoldsUpTheCallerAndWhatDoesNotFitIsCounted)
{
    StalledReader reader;
    auto sink = std::make_unique<JournalSink>(reader.writer(), 4);
    sink->write({}, {}, QStringLiteral("in flight"));
    ASSERT_TRUE(reader.waitFor([&] { return reader.entered == 1; })); // the reader holds it
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 10; ++i)
        sink->write({}, {}, QString::number(i));
    EXPECT_LT(timer.elapsed(), 500) << "writes return while the reader is stalled";
    EXPECT_EQ(sink->droppedCount(), 6u) << "four wait, the rest are dropped";
    reader.letGo();
    ASSERT_TRUE(reader.waitFor([&] { return reader.records.size() == 5; }));
    EXPECT_EQ(reader.records.back().text, QStringLiteral("3"));
    sink.reset();
}

TEST(JournalSink, DestroyingItWhileTheReaderIsStalledDoesNotWait)
{
    auto reader = std::make_shared<StalledReader>();
    auto sink = std::make_unique<JournalSink>(reader->writer());
    sink->write({}, {}, QStringLiteral("stuck"));
    ASSERT_TRUE(reader->waitFor([&] { return reader->entered == 1; }));
    QElapsedTimer timer;
    timer.start();
    sink.reset();
    EXPECT_LT(timer.elapsed(), 500);
    reader->letGo(); // the drain thread ends on its own
    ASSERT_TRUE(reader->waitFor([&] { return reader->records.size() == 1; }));
    std::this_thread::sleep_for(20ms); // let the detached thread leave the writer
}
