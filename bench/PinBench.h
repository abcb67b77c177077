#pragma once

// What the pin benchmarks share: a 3840 x 2160 display with 20 marks pinned in pin_harness.

#include "EditorFixtures.h"
#include "harness/HarnessProcess.h"

#include "core/Annotation.h"
#include "core/Json.h"

#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <optional>

namespace vorlith::bench {

// Writes the display into `folder`, waits for the harness and pins the display; answers why
// it could not, or nothing once the pin shows.
inline std::optional<const char*> pinDisplay(test::HarnessProcess& harness, const QTemporaryDir& folder)
{
    const QString png = folder.filePath(QStringLiteral("display.png"));
    if (!frozenDisplay().save(png))
        return "cannot write the document";
    Json marks = Json::array();
    for (const Annotation& mark :
         markGrid([](int i) { return i % 2 ? Annotation::Kind::arrow : Annotation::Kind::roundedRectangle; }))
        marks.push_back(mark.toJson());
    if (!harness.line(QStringLiteral("ready")))
        return "pin_harness did not start";
    harness.send(QStringLiteral("open %1 %2").arg(png, QString::fromStdString(marks.dump())).toUtf8());
    if (!harness.line(QStringLiteral("opened"), std::chrono::seconds(30)))
        return "the pin did not show";
    return std::nullopt;
}

} // namespace vorlith::bench
