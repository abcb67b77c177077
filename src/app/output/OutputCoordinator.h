#pragma once

#include <QUuid>

#include <optional>

namespace vorlith {

// The single application-wide output gate: one copy, save or colour copy at a time, whichever
// editor asks. Main thread only.
class OutputCoordinator {
public:
    struct Permit {
        QUuid documentID;
        // Fresh for every grant, so a permit from an earlier grant never matches a later one.
        QUuid requestID;

        friend bool operator==(const Permit&, const Permit&) = default;
    };

    // A permit for the document, or nothing while another output (of any document) holds one.
    std::optional<Permit> acquire(const QUuid& documentID);
    // Gives the permit back; true only when it was the active one. Stale, foreign or already
    // released permits change nothing.
    bool release(const Permit& permit);

    bool isBusy() const { return m_active.has_value(); }
    const std::optional<Permit>& active() const { return m_active; }

private:
    std::optional<Permit> m_active;
};

} // namespace vorlith
