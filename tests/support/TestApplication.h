#pragma once

#include <QApplication>

namespace vorlith::test {

// Sets up the one QApplication a test process has: the families the renderer and the
// interface name exist, and a missing one is reported before any test runs.
bool checkTestFonts();

// Runs the GoogleTest suites inside an already created QApplication.
int runAllTests(int argc, char** argv);

bool isListingOnly(int argc, char** argv);

} // namespace vorlith::test
