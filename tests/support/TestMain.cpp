// The main of every test program that needs no X server: one QApplication on the
// offscreen platform.
#include "support/TestApplication.h"

#include <QApplication>

#include <cstdlib>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("QT_SCALE_FACTOR");
    QApplication app(argc, argv);
    if (!vorlith::test::isListingOnly(argc, argv) && !vorlith::test::checkTestFonts())
        return EXIT_FAILURE;
    return vorlith::test::runAllTests(argc, argv);
}
