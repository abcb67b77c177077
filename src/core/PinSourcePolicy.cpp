#include "core/PinSourcePolicy.h"

namespace vorlith::PinSourcePolicy {

Source resolve(bool frontIsFinder, std::optional<FinderState> finder)
{
    if (!frontIsFinder)
        return Source::clipboard();
    if (!finder)
        return Source::failure(FinderState::unavailable);
    switch (*finder) {
    case FinderState::selectedImages:
        return Source::finderFiles();
    case FinderState::confirmedNoImages:
        return Source::clipboard();
    case FinderState::needsConsent:
    case FinderState::denied:
    case FinderState::timedOut:
    case FinderState::unavailable:
    case FinderState::contextChanged:
        break;
    }
    return Source::failure(*finder);
}

} // namespace vorlith::PinSourcePolicy
