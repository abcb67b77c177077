#include "app/base/Diagnostics.h"
#include "support/MemoryLogSink.h"

#include <QThread>

#include <gtest/gtest.h>

using namespace vorlith;

TEST(Diagnostics, WritesOneRecordPerEventWithTheTextAsGiven)
{
    test::ScopedLogCapture log;
    Diagnostics::event(QStringLiteral("app.started"));
    Diagnostics::event(QStringLiteral("capture.error.domain=") + QStringLiteral("CaptureStreamErrorDomain") +
                       QStringLiteral(".code=") + QString::number(-3801));
    const auto records = log.sink().records();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].text, QStringLiteral("app.started"));
    EXPECT_EQ(records[1].text, QStringLiteral("capture.error.domain=CaptureStreamErrorDomain.code=-3801"));
    EXPECT_EQ(records[0].category, QStringLiteral("capture"));
    EXPECT_EQ(records[0].subsystem, QString::fromLatin1(Diagnostics::subsystem));
}

TEST(Diagnostics, AcceptsEventsFromSeveralThreads)
{
    test::ScopedLogCapture log;
    QList<QThread*> threads;
    for (int t = 0; t < 4; ++t) {
        threads << QThread::create([] {
            for (int i = 0; i < 100; ++i)
                Diagnostics::event(QStringLiteral("capture.frame.ready"));
        });
        threads.back()->start();
    }
    for (QThread* thread : threads) {
        thread->wait();
        delete thread;
    }
    EXPECT_EQ(log.sink().records().size(), 400);
}
