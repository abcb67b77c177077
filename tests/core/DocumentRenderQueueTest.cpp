#include "core/DocumentRenderQueue.h"
#include "support/HeldJob.h"
#include "support/QueueCall.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

using namespace vorlith;
using namespace vorlith::test;
using Kind = DocumentRenderQueue::Kind;

namespace {

// A render queue with named documents, named jobs that log their start, and callers.
class RenderQueueFixture : public ::testing::Test {
protected:
    QUuid document(const QString& name)
    {
        auto [entry, added] = m_documents.try_emplace(name, QUuid());
        if (added)
            entry->second = QUuid::createUuid();
        return entry->second;
    }

    // Job names are "<document> <kind>" with a number for repeats, e.g. "A preview 2".
    HeldJob& job(const QString& name)
    {
        auto [entry, added] = m_jobs.try_emplace(name, nullptr);
        if (added)
            entry->second = std::make_unique<HeldJob>(name, &m_log);
        return *entry->second;
    }

    QueueCall& call(const QString& documentName, Kind kind, const QString& jobName, int value = 0)
    {
        auto& slot = m_calls[jobName];
        slot = std::make_unique<QueueCall>(
            [this, id = document(documentName), kind, operation = job(jobName).operation(value)](std::stop_token stop) {
                return queue.run(id, kind, stop, operation);
            });
        return *slot;
    }
    QueueCall& caller(const QString& jobName) { return *m_calls.at(jobName); }

    // Lets the running job end and waits until the next one has started.
    void finishRunningThenExpectStart(const QString& ending, const QString& next)
    {
        job(ending).release();
        ASSERT_TRUE(runUntil([&] { return caller(ending).finished(); })) << ending.toStdString();
        ASSERT_TRUE(runUntil([&] { return job(next).started(); })) << next.toStdString();
    }

    void finishLast(const QString& ending)
    {
        job(ending).release();
        ASSERT_TRUE(runUntil([&] { return caller(ending).finished(); }));
        EXPECT_EQ(queue.runningCount(), 0);
        EXPECT_EQ(queue.waitingPreviewCount(), 0);
        EXPECT_EQ(queue.waitingOutputCount(), 0);
    }

    JobLog m_log; // outlives the queue, whose workers write to it
    DocumentRenderQueue queue{11};

private:
    std::map<QString, QUuid> m_documents;
    std::map<QString, std::unique_ptr<HeldJob>> m_jobs;
    std::map<QString, std::unique_ptr<QueueCall>> m_calls;
};

} // namespace

TEST_F(RenderQueueFixture, PreviewsWaitInLineAndANewerPreviewTakesItsDocumentsPlace)
{
    call("A", Kind::preview, "A preview");
    ASSERT_TRUE(runUntil([&] { return job("A preview").started(); }));
    EXPECT_EQ(queue.runningCount(), 1);

    // A newer preview of the running document waits after the others; the running job is
    // not touched.
    call("B", Kind::preview, "B preview");
    call("C", Kind::preview, "C preview");
    call("A", Kind::preview, "A preview 2");
    EXPECT_EQ(queue.waitingPreviewCount(), 3);

    // A preview of B replaces the waiting one and keeps B's place in line.
    call("B", Kind::preview, "B preview 2");
    ASSERT_TRUE(runUntil([&] { return caller("B preview").finished(); }));
    EXPECT_EQ(caller("B preview").result(), "cancelled");
    EXPECT_EQ(queue.waitingPreviewCount(), 3);
    EXPECT_FALSE(job("A preview").sawStop());

    finishRunningThenExpectStart("A preview", "B preview 2");
    finishRunningThenExpectStart("B preview 2", "C preview");
    finishRunningThenExpectStart("C preview", "A preview 2");
    finishLast("A preview 2");
    EXPECT_EQ(m_log.names(), QStringList({"A preview", "B preview 2", "C preview", "A preview 2"}));
    EXPECT_FALSE(job("B preview").started());
}

TEST_F(RenderQueueFixture, AWaitingOutputGoesFirstAndASecondOutputIsRefused)
{
    call("A", Kind::output, "A output");
    ASSERT_TRUE(runUntil([&] { return job("A output").started(); }));
    call("B", Kind::preview, "B preview");
    call("C", Kind::preview, "C preview");
    call("D", Kind::preview, "D preview");
    call("E", Kind::output, "E output");
    call("F", Kind::output, "F output");
    ASSERT_TRUE(runUntil([&] { return caller("F output").finished(); }));
    EXPECT_EQ(caller("F output").result(), "outputAlreadyWaiting");
    EXPECT_EQ(queue.waitingOutputCount(), 1);
    EXPECT_EQ(queue.waitingPreviewCount(), 3);

    finishRunningThenExpectStart("A output", "E output");
    finishRunningThenExpectStart("E output", "B preview");
    finishRunningThenExpectStart("B preview", "C preview");
    finishRunningThenExpectStart("C preview", "D preview");
    finishLast("D preview");
    EXPECT_EQ(m_log.names(), QStringList({"A output", "E output", "B preview", "C preview", "D preview"}));
    EXPECT_EQ(caller("E output").result(), "=0");
    EXPECT_FALSE(job("F output").started());
}

TEST_F(RenderQueueFixture, PreviewPlacesAreBoundedPerDocument)
{
    call("running", Kind::output, "running");
    ASSERT_TRUE(runUntil([&] { return job("running").started(); }));
    for (int i = 1; i <= 11; ++i)
        call(QString::number(i), Kind::preview, QStringLiteral("%1 preview").arg(i));
    EXPECT_EQ(queue.waitingPreviewCount(), 11);

    call("12", Kind::preview, "12 preview");
    ASSERT_TRUE(runUntil([&] { return caller("12 preview").finished(); }));
    EXPECT_EQ(caller("12 preview").result(), "previewCapacity");

    // A document already in line is still admitted when every place is taken.
    call("5", Kind::preview, "5 preview 2");
    ASSERT_TRUE(runUntil([&] { return caller("5 preview").finished(); }));
    EXPECT_EQ(caller("5 preview").result(), "cancelled");
    EXPECT_EQ(queue.waitingPreviewCount(), 11);

    // An output has its own place.
    call("13", Kind::output, "13 output");
    EXPECT_EQ(queue.waitingOutputCount(), 1);

    finishRunningThenExpectStart("running", "13 output");
    QString previous = "13 output";
    for (int i = 1; i <= 11; ++i) {
        const QString next = i == 5 ? QStringLiteral("5 preview 2") : QStringLiteral("%1 preview").arg(i);
        finishRunningThenExpectStart(previous, next);
        previous = next;
    }
    finishLast(previous);
    EXPECT_FALSE(job("12 preview").started());
    EXPECT_FALSE(job("5 preview").started());
}

TEST_F(RenderQueueFixture, CancellingAWaitingCallerRemovesItsDocumentFromTheLine)
{
    call("A", Kind::preview, "A preview");
    ASSERT_TRUE(runUntil([&] { return job("A preview").started(); }));
    call("B", Kind::preview, "B preview");
    call("C", Kind::preview, "C preview");
    call("D", Kind::output, "D output");

    caller("B preview").cancel();
    caller("D output").cancel();
    ASSERT_TRUE(runUntil([&] { return caller("B preview").finished() && caller("D output").finished(); }));
    EXPECT_EQ(caller("B preview").result(), "cancelled");
    EXPECT_EQ(caller("D output").result(), "cancelled");
    EXPECT_EQ(queue.waitingPreviewCount(), 1);
    EXPECT_EQ(queue.waitingOutputCount(), 0);

    // A cancelled preview that a newer one replaced before the cancellation arrived: the
    // cancellation carries the old token and leaves the newer one in line.
    call("C", Kind::preview, "C preview 2");
    caller("C preview 2").cancel();
    call("C", Kind::preview, "C preview 3");
    ASSERT_TRUE(drainPosted());
    EXPECT_EQ(caller("C preview").result(), "cancelled");
    EXPECT_EQ(caller("C preview 2").result(), "cancelled");
    EXPECT_EQ(caller("C preview 3").result(), "pending");
    EXPECT_EQ(queue.waitingPreviewCount(), 1);

    // With B gone, the slot passes to the next document in line.
    call("E", Kind::preview, "E preview");
    finishRunningThenExpectStart("A preview", "C preview 3");
    finishRunningThenExpectStart("C preview 3", "E preview");
    finishLast("E preview");
    EXPECT_EQ(m_log.names(), QStringList({"A preview", "C preview 3", "E preview"}));
}

TEST_F(RenderQueueFixture, CancellingTheRunningCallerCancelsTheJobAndPassesTheSlotWhenItEnds)
{
    call("A", Kind::preview, "A preview", 1);
    ASSERT_TRUE(runUntil([&] { return job("A preview").started(); }));
    call("B", Kind::preview, "B preview", 2);

    caller("A preview").cancel();
    ASSERT_TRUE(runUntil([&] { return job("A preview").sawStop(); }));
    ASSERT_TRUE(drainPosted());
    EXPECT_EQ(caller("A preview").result(), "pending");
    EXPECT_EQ(queue.runningCount(), 1);
    EXPECT_EQ(queue.waitingPreviewCount(), 1);

    finishRunningThenExpectStart("A preview", "B preview");
    EXPECT_EQ(caller("A preview").result(), "cancelled");
    EXPECT_EQ(queue.runningCount(), 1);
    finishLast("B preview");
    EXPECT_EQ(caller("B preview").result(), "=2");
}

TEST_F(RenderQueueFixture, AFailingJobPassesItsErrorAfterTheSlotWasHandedOn)
{
    call("A", Kind::output, "A output");
    ASSERT_TRUE(runUntil([&] { return job("A output").started(); }));
    call("B", Kind::preview, "B preview");
    int waitingSeenByFailedCaller = -1;
    caller("A output").then([&] { waitingSeenByFailedCaller = queue.waitingPreviewCount(); });
    job("A output").failWith("render failed");
    ASSERT_TRUE(runUntil([&] { return caller("A output").finished(); }));
    EXPECT_EQ(caller("A output").result(), "error: render failed");
    EXPECT_EQ(waitingSeenByFailedCaller, 0);
    EXPECT_EQ(queue.runningCount(), 1);
    ASSERT_TRUE(runUntil([&] { return job("B preview").started(); }));
    finishLast("B preview");
}
