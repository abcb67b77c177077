// A process of its own for one import, so that a test can weigh what the import costs: the
// parent reads this process's peak memory from wait4() and its timing from the report file.
//   import_child file <path> <report>     imports one file
//   import_child clipboard <report>       pastes from the X server named by DISPLAY
// The report holds one line: the batch's seconds, a tab, then the failure sentence (or "ok").
#include "app/base/ImageResourceStore.h"
#include "app/import/ImageImportService.h"
#include "app/import/ImageProbe.h"
#include "platform/x11/X11Pasteboard.h"

#include <QFile>
#include <QGuiApplication>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <cstdio>
#include <cstring>

using namespace vorlith;

int main(int argc, char** argv)
{
    const bool fromFile = argc == 4 && std::strcmp(argv[1], "file") == 0;
    const bool fromClipboard = argc == 3 && std::strcmp(argv[1], "clipboard") == 0;
    if (!fromFile && !fromClipboard) {
        std::fprintf(stderr, "usage: import_child file <path> <report> | clipboard <report>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ImageProbe::applyDecoderAllocationLimit();

    auto store = std::make_shared<ImageResourceStore>(qint64(1) << 30);
    ImageImportService service(store);
    const auto accept = [](const ImageImportService::ImportedImage&) { return true; };
    std::shared_ptr<X11Pasteboard> pasteboard;
    if (fromClipboard)
        pasteboard = std::make_shared<X11Pasteboard>();

    const auto start = std::chrono::steady_clock::now();
    auto batch = fromFile ? service.openBatch({QUrl::fromLocalFile(QString::fromLocal8Bit(argv[2]))}, accept)
                          : service.pasteBatch(pasteboard, accept);
    ImageImportService::Result result = QCoro::waitFor(batch);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    QFile report(QString::fromLocal8Bit(argv[fromFile ? 3 : 2]));
    if (!report.open(QIODevice::WriteOnly))
        return 1;
    QString line = QString::number(seconds, 'f', 6) + QLatin1Char('\t');
    line += result && !result->failures.isEmpty() ? result->failures.first().reason : QStringLiteral("ok");
    report.write(line.toUtf8());
    return 0;
}
