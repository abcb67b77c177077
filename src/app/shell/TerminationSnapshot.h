#pragma once

#include "app/shell/TerminationIntent.h"

#include <QSet>
#include <QUuid>
#include <QtGlobal>

namespace vorlith {

// The state a quit or an update installation is reviewed against. An approval holds only while
// a fresh snapshot still equals the one that was reviewed: any new image, closed pin, edit or
// output in between makes the next request review again.
struct TerminationSnapshot {
    // The coordinator's work epoch: it moves with every change of state.
    quint64 epoch = 0;
    // Documents whose work would be lost: editors with unfinished output, and the kept recovery
    // when no editor shows it.
    QSet<QUuid> pendingImageIDs;
    // The document ids of every pin.
    QSet<QUuid> openPinIDs;
    // A capture, an import or a pin request is running, or the overlays are shown.
    bool captureActive = false;
    // An output is running or an editor holds the output lock.
    bool outputBusy = false;
    // The settings window has changes not yet saved.
    bool settingsDirty = false;

    friend bool operator==(const TerminationSnapshot&, const TerminationSnapshot&) = default;
};

// A standing approval: the intent that was allowed and the state it was allowed in.
struct TerminationApproval {
    TerminationIntent intent = TerminationIntent::quit;
    TerminationSnapshot snapshot;

    friend bool operator==(const TerminationApproval&, const TerminationApproval&) = default;
};

} // namespace vorlith
