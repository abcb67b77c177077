#pragma once

#include <QImage>
#include <QString>

#include <QColor>

#include <chrono>
#include <functional>
#include <vector>

namespace vorlith::test {

using namespace std::chrono_literals;

// Spins the event loop until the predicate holds or the timeout passes; returns the last
// value of the predicate. Use it to wait; never assert after a fixed sleep.
bool runUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout = 5s);

// Runs the event loop for a while, for tests that must show that something does NOT happen.
void spin(std::chrono::milliseconds duration);

// The folder where tests leave PNG renders of views (build/test-output/), kept after the run.
QString testOutputDir();
// Writes the image as <dir>/<name>.png and returns the path.
QString saveTestImage(const QImage& image, const QString& name);
// One sheet of renders, each below the one before, at their pixel sizes, on `background`.
QImage stackedSheet(const std::vector<QImage>& tiles, const QColor& background);

// Leaves a socket file at `path` the way a program that died leaves it: bound, never
// listened on, closed. False when it could not be made.
bool leaveStaleSocket(const QString& path);

} // namespace vorlith::test
