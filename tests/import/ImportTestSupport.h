#pragma once

#include "app/base/ImageResourceStore.h"
#include "app/import/ImageImportService.h"
#include "support/TaskOutcome.h"

#include <QList>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Readable failure messages for the texts the import reports.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace vorlith {
inline void PrintTo(const ImageImportService::Failure& failure, std::ostream* out)
{
    *out << "(" << failure.name.toStdString() << ", " << failure.reason.toStdString() << ")";
}
} // namespace vorlith

namespace vorlith::test {

// An accept function that takes every image (or refuses from the n-th on) and keeps them.
struct AcceptLog {
    QList<ImageImportService::ImportedImage> images;
    int refuseFrom = -1; // the index of the first image refused; -1 takes all

    ImageImportService::Accept function()
    {
        return [this](const ImageImportService::ImportedImage& image) {
            if (refuseFrom >= 0 && images.size() >= refuseFrom)
                return false;
            images << image;
            return true;
        };
    }
};

// Runs a batch to its end.
inline ImageImportService::Result finishBatch(QCoro::Task<ImageImportService::Result> batch)
{
    TaskOutcome<ImageImportService::Result> outcome = finish(std::move(batch), std::chrono::seconds(60));
    EXPECT_TRUE(outcome.finished);
    EXPECT_FALSE(outcome.error) << "a batch threw";
    return outcome.value.value_or(nullptr);
}

// Nothing left in the budget but what the result owns (its bookkeeping), and nothing at all
// once that is released; every accepted image committed.
inline void expectNothingHalfMade(ImageResourceStore& store, ImageImportService::BatchResult& result)
{
    EXPECT_TRUE(store.reservations().isEmpty()) << "an image reservation is left";
    EXPECT_EQ(store.work().size(), result.metadata ? 1 : 0) << "transient work is left";
    for (const QUuid& id : result.acceptedIDs)
        EXPECT_TRUE(store.sources().contains(id));
    result.releaseMetadata();
    EXPECT_TRUE(store.work().isEmpty());
}

} // namespace vorlith::test
