#pragma once

#include "platform/FinderLocation.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace vorlith {

// The file manager's selection as read: every selected item (images or not) in its order,
// and where it was selected.
struct FinderSnapshot {
    QList<QUrl> urls;
    FinderLocation location = FinderLocation::desktop();
    friend bool operator==(const FinderSnapshot&, const FinderSnapshot&) = default;
};

// Whether we may read the file manager.
enum class FinderPermission { granted, needsConsent, denied, unavailable };

// The outcome of reading the file manager's selection.
class FinderSelectionResult {
public:
    enum class Kind { selected, noImages, unavailable, needsConsent, denied, timedOut, contextChanged };

    static FinderSelectionResult selected(FinderSnapshot snapshot)
    {
        FinderSelectionResult result(Kind::selected);
        result.m_location = snapshot.location;
        result.m_snapshot = std::move(snapshot);
        return result;
    }
    static FinderSelectionResult noImages(FinderLocation location)
    {
        FinderSelectionResult result(Kind::noImages);
        result.m_location = location;
        return result;
    }
    static FinderSelectionResult unavailable(QString message)
    {
        FinderSelectionResult result(Kind::unavailable);
        result.m_message = std::move(message);
        return result;
    }
    static FinderSelectionResult needsConsent() { return FinderSelectionResult(Kind::needsConsent); }
    static FinderSelectionResult denied() { return FinderSelectionResult(Kind::denied); }
    static FinderSelectionResult timedOut() { return FinderSelectionResult(Kind::timedOut); }
    static FinderSelectionResult contextChanged() { return FinderSelectionResult(Kind::contextChanged); }

    Kind kind() const { return m_kind; }
    // `selected` only.
    const std::optional<FinderSnapshot>& snapshot() const { return m_snapshot; }
    // `selected` and `noImages`.
    const std::optional<FinderLocation>& location() const { return m_location; }
    // `unavailable` only: the sentence to show.
    const QString& message() const { return m_message; }

    friend bool operator==(const FinderSelectionResult&, const FinderSelectionResult&) = default;

private:
    explicit FinderSelectionResult(Kind kind) : m_kind(kind) {}

    Kind m_kind;
    std::optional<FinderSnapshot> m_snapshot;
    std::optional<FinderLocation> m_location;
    QString m_message;
};

} // namespace vorlith
