#include "core/ContentChange.h"

#include "core/Saturating.h"

#include <QtGlobal>

#include <algorithm>

namespace vorlith {

namespace {

const Annotation* markAt(const std::vector<Annotation>& marks, std::size_t index)
{
    return index < marks.size() ? &marks[index] : nullptr;
}

std::optional<Annotation> copyOf(const Annotation* mark)
{
    return mark ? std::optional<Annotation>(*mark) : std::nullopt;
}

} // namespace

ContentChange::ContentChange(const CaptureContent& before, const CaptureContent& after)
    : beforeSelection(before.selection)
    , afterSelection(after.selection)
    , beforeNextNumber(before.nextNumber)
    , afterNextNumber(after.nextNumber)
    , beforeCount(before.annotations.size())
    , afterCount(after.annotations.size())
{
    const std::size_t positions = std::max(beforeCount, afterCount);
    for (std::size_t i = 0; i < positions; ++i) {
        const Annotation* b = markAt(before.annotations, i);
        const Annotation* a = markAt(after.annotations, i);
        if (b && a && *b == *a)
            continue;
        marks.push_back(MarkChange{i, copyOf(b), copyOf(a)});
    }
}

CaptureContent ContentChange::applying(const CaptureContent& content, bool forward) const
{
    const std::size_t count = forward ? afterCount : beforeCount;
    CaptureContent result;
    result.selection = forward ? afterSelection : beforeSelection;
    result.nextNumber = forward ? afterNextNumber : beforeNextNumber;
    result.annotations.reserve(count);

    auto change = marks.begin();
    for (std::size_t i = 0; i < count; ++i) {
        while (change != marks.end() && change->index < i)
            ++change;
        const Annotation* stored = nullptr;
        if (change != marks.end() && change->index == i) {
            const std::optional<Annotation>& side = forward ? change->after : change->before;
            stored = side ? &*side : nullptr;
        }
        if (stored) {
            result.annotations.push_back(*stored);
        } else if (i < content.annotations.size()) {
            result.annotations.push_back(content.annotations[i]);
        } else {
            // The step was made from a different content: a position it leaves alone does not
            // exist here. Keep the content rather than read past its marks.
            Q_ASSERT_X(false, "ContentChange::applying", "the change does not match the content");
            return content;
        }
    }
    return result;
}

std::int64_t ContentChange::estimatedBytes() const
{
    std::int64_t bytes = 128;
    for (const MarkChange& change : marks) {
        bytes = saturatingAdd(bytes, 32);
        if (change.before)
            bytes = saturatingAdd(bytes, change.before->estimatedBytes());
        if (change.after)
            bytes = saturatingAdd(bytes, change.after->estimatedBytes());
    }
    return bytes;
}

} // namespace vorlith
