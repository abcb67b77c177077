#include "FuzzTargets.h"

#include <QGuiApplication>

namespace vorlith::fuzz {

void initialize()
{
    if (QCoreApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "vorlith-fuzz";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv); // lives as long as the process
}

} // namespace vorlith::fuzz
