#include "core/PinSourcePolicy.h"

#include <gtest/gtest.h>

#include <array>

using namespace vorlith;
using PinSourcePolicy::FinderState;
using PinSourcePolicy::Source;

namespace {

constexpr std::array kAllStates{
    FinderState::selectedImages, FinderState::confirmedNoImages, FinderState::needsConsent,
    FinderState::denied,         FinderState::timedOut,          FinderState::unavailable,
    FinderState::contextChanged,
};

} // namespace

TEST(PinSourcePolicy, FileManagerStateIsIgnoredWhenItIsNotInFront)
{
    EXPECT_EQ(PinSourcePolicy::resolve(false, std::nullopt), Source::clipboard());
    for (FinderState state : kAllStates)
        EXPECT_EQ(PinSourcePolicy::resolve(false, state), Source::clipboard()) << int(state);
}

TEST(PinSourcePolicy, FrontFileManagerNeverFallsBackToTheClipboardWithoutAClearAnswer)
{
    struct Row {
        std::optional<FinderState> finder;
        Source expected;
    };
    const Row rows[] = {
        {std::nullopt, Source::failure(FinderState::unavailable)}, // not read
        {FinderState::selectedImages, Source::finderFiles()},
        {FinderState::confirmedNoImages, Source::clipboard()},
        {FinderState::needsConsent, Source::failure(FinderState::needsConsent)},
        {FinderState::denied, Source::failure(FinderState::denied)},
        {FinderState::timedOut, Source::failure(FinderState::timedOut)},
        {FinderState::unavailable, Source::failure(FinderState::unavailable)},
        {FinderState::contextChanged, Source::failure(FinderState::contextChanged)},
    };
    for (const Row& row : rows) {
        const Source source = PinSourcePolicy::resolve(true, row.finder);
        EXPECT_EQ(source, row.expected) << (row.finder ? int(*row.finder) : -1);
    }
}

TEST(PinSourcePolicy, SourcesCompareByCaseThenByFailureState)
{
    const Source denied = Source::failure(FinderState::denied);
    EXPECT_EQ(denied.kind(), Source::Kind::failure);
    EXPECT_EQ(denied.failureState(), FinderState::denied);
    EXPECT_EQ(Source::clipboard().failureState(), std::nullopt);
    EXPECT_NE(denied, Source::failure(FinderState::timedOut));
    EXPECT_LT(denied, Source::failure(FinderState::timedOut));
    EXPECT_LT(Source::failure(FinderState::contextChanged), Source::finderFiles());
    EXPECT_LT(Source::finderFiles(), Source::clipboard());
}
