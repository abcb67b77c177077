#pragma once

#include "app/import/ImageImportService.h"

#include <QString>

namespace vorlith {

// What a finished import batch tells the user: the number of items that need a look, and
// for those the failure toast's message and detail lines.
struct PinImportReport {
    qint64 issues = 0;
    QString successMessage; // "已置顶3张图片"
    QString issueMessage;   // "已置顶2张，另有1项需查看"
    QString details;        // the lines, joined with "\n"

    [[nodiscard]] static PinImportReport of(const ImageImportService::BatchResult& result);
};

} // namespace vorlith
