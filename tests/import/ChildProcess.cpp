#include "import/ChildProcess.h"

#include <QFile>
#include <QTemporaryDir>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <vector>

extern char** environ;

namespace vorlith::test {

ImportChildRun runImportChild(const QStringList& arguments)
{
    ImportChildRun run;
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("report.txt"));
    QList<QByteArray> encoded{QByteArrayLiteral(VORLITH_IMPORT_CHILD)};
    for (const QString& argument : arguments + QStringList{report})
        encoded << argument.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& argument : encoded)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return run;
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return run;
    run.peakKilobytes = usage.ru_maxrss;

    QFile file(report);
    if (!file.open(QIODevice::ReadOnly))
        return run;
    const QStringList fields = QString::fromUtf8(file.readAll()).split(QLatin1Char('\t'));
    if (fields.size() != 2)
        return run;
    run.seconds = fields[0].toDouble();
    run.reason = fields[1];
    run.finished = true;
    return run;
}

} // namespace vorlith::test
