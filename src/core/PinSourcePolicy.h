#pragma once

#include <compare>
#include <optional>

namespace vorlith {

// Where a pin request takes its images: the file manager's selected image files or the
// clipboard. Stateless; the pin-request road applies it before importing anything.
namespace PinSourcePolicy {

// The outcome of reading the file manager's selection, in declaration order.
enum class FinderState {
    selectedImages,    // the selection holds image files to pin
    confirmedNoImages, // it answered, and nothing pinnable is selected
    needsConsent,      // the user has not yet allowed control of the file manager
    denied,            // control was refused
    timedOut,          // no answer in time
    unavailable,       // the selection was not readable
    contextChanged,    // the selection or front window changed while it was read
};

// failure(state), finderFiles or clipboard; ordered by case, failures by their state.
class Source {
public:
    enum class Kind { failure, finderFiles, clipboard };

    static constexpr Source failure(FinderState state) { return Source(Kind::failure, state); }
    static constexpr Source finderFiles() { return Source(Kind::finderFiles, {}); }
    static constexpr Source clipboard() { return Source(Kind::clipboard, {}); }

    constexpr Kind kind() const { return m_kind; }
    // The state to report to the user; absent unless this is a failure.
    constexpr std::optional<FinderState> failureState() const
    {
        return m_kind == Kind::failure ? std::optional(m_state) : std::nullopt;
    }

    friend constexpr bool operator==(const Source&, const Source&) = default;
    friend constexpr auto operator<=>(const Source&, const Source&) = default;

private:
    constexpr Source(Kind kind, FinderState state) : m_kind(kind), m_state(state) {}

    Kind m_kind;
    FinderState m_state; // selectedImages, unused, unless a failure
};

// frontIsFinder: the file manager was the front application when the request was made.
// finder: what reading its selection produced; absent when it was not read.
// The clipboard is used when the file manager is not in front or confirms that nothing
// pinnable is selected; an unclear answer from a front file manager fails with its reason.
Source resolve(bool frontIsFinder, std::optional<FinderState> finder);

} // namespace PinSourcePolicy

} // namespace vorlith
