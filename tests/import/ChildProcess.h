#pragma once

#include <QString>
#include <QStringList>

namespace vorlith::test {

// One run of the import_child program: how long its batch took, what it answered, and the
// process's peak resident memory as the kernel counted it (getrusage of the reaped child).
struct ImportChildRun {
    bool finished = false; // exited normally and wrote its report
    double seconds = 0;
    QString reason;        // the first failure's sentence, or "ok"
    qint64 peakKilobytes = 0;
};

// `arguments` as import_child takes them, without the report path (added last). Waits for
// the child to end.
ImportChildRun runImportChild(const QStringList& arguments);

} // namespace vorlith::test
