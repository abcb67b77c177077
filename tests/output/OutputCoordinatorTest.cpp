#include "app/output/OutputCoordinator.h"

#include <gtest/gtest.h>

using namespace vorlith;

TEST(OutputCoordinator, OnePermitAtATimeWhateverTheDocument)
{
    OutputCoordinator coordinator;
    const QUuid document = QUuid::createUuid();
    const auto first = coordinator.acquire(document);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->documentID, document);
    EXPECT_TRUE(coordinator.isBusy());
    EXPECT_FALSE(coordinator.acquire(document));
    EXPECT_FALSE(coordinator.acquire(QUuid::createUuid()));
    EXPECT_TRUE(coordinator.isBusy());
    EXPECT_EQ(coordinator.active(), first);
}

TEST(OutputCoordinator, OnlyTheActivePermitReleases)
{
    OutputCoordinator coordinator;
    const QUuid document = QUuid::createUuid();
    EXPECT_FALSE(coordinator.release({document, QUuid::createUuid()})) << "idle";

    const auto permit = *coordinator.acquire(document);
    EXPECT_FALSE(coordinator.release({document, QUuid::createUuid()})) << "same document, other request";
    EXPECT_TRUE(coordinator.isBusy());
    EXPECT_TRUE(coordinator.release(permit));
    EXPECT_FALSE(coordinator.isBusy());
    EXPECT_FALSE(coordinator.release(permit)) << "already released";
}

TEST(OutputCoordinator, AnEarlierGrantNeverMatchesALaterOne)
{
    OutputCoordinator coordinator;
    const QUuid document = QUuid::createUuid();
    const auto old = *coordinator.acquire(document);
    ASSERT_TRUE(coordinator.release(old));
    const auto current = *coordinator.acquire(document);
    EXPECT_NE(old, current);
    EXPECT_FALSE(coordinator.release(old));
    EXPECT_EQ(coordinator.active(), current);
}
