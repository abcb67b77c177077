#include "CoordinatorFixture.h"

#include "app/shell/TerminationSignals.h"
#include "support/TestSupport.h"

#include <QEventLoop>
#include <QTimer>

#include <csignal>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

TEST(CoordinatorQuit, QuitInsideANestedLoopWaitsForItsEnd)
{
    CoordinatorFixture f;
    AppCoordinator& c = f.make();
    // The quit asked from inside a menu's loop: the program's own loop must end only after it.
    int exitCode = -1;
    bool nestedEndedFirst = false;
    QEventLoop outer;
    QTimer::singleShot(0, [&] {
        QEventLoop nested;
        QTimer::singleShot(0, [&] { c.quitApplication(); });
        QTimer::singleShot(150, &nested, [&] {
            nestedEndedFirst = true;
            nested.quit();
        });
        nested.exec();
    });
    QTimer::singleShot(5000, &outer, [&] { outer.exit(99); });
    exitCode = outer.exec();
    EXPECT_TRUE(nestedEndedFirst);
    EXPECT_EQ(exitCode, 0);
}

TEST(TerminationSignals, ASignalArrivesOnTheEventLoop)
{
    TerminationSignals signals_;
    ASSERT_TRUE(signals_.isInstalled());
    std::vector<int> received;
    signals_.onSignal = [&](int signal) { received.push_back(signal); };
    ::raise(SIGTERM);
    ::raise(SIGHUP);
    ASSERT_TRUE(runUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGHUP}));
}
