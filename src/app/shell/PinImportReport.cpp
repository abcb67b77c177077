#include "app/shell/PinImportReport.h"

namespace vorlith {

PinImportReport PinImportReport::of(const ImageImportService::BatchResult& result)
{
    using Kind = ImageImportService::BatchStatus::Kind;
    PinImportReport report;
    const qint64 accepted = result.acceptedIDs.size();
    const qint64 unprocessed = qint64(result.unprocessed.size()) + result.undisclosedUnprocessedCount;
    report.issues = qint64(result.skipped.size()) + qint64(result.failures.size()) + unprocessed;
    report.successMessage = QStringLiteral("已置顶%1张图片").arg(accepted);
    report.issueMessage = QStringLiteral("已置顶%1张，另有%2项需查看").arg(accepted).arg(report.issues);

    QStringList lines{QStringLiteral("已置顶 %1 张图片").arg(accepted)};
    if (!result.skipped.isEmpty()) {
        lines << QStringLiteral("已跳过：");
        lines << result.skipped;
    }
    if (!result.failures.isEmpty()) {
        lines << QStringLiteral("未能置顶：");
        for (const ImageImportService::Failure& failure : result.failures)
            lines << failure.name + QStringLiteral("：") + failure.reason;
    }
    if (unprocessed > 0) {
        lines << QStringLiteral("尚未处理 %1 项：").arg(unprocessed);
        lines << result.unprocessed;
    }
    if (result.status == ImageImportService::BatchStatus::stopped(ImageImportService::StopReason::clipboardChanged))
        lines << QStringLiteral("剪贴板内容已变化，已停止读取剩余图片。");
    if (result.status.kind() == Kind::cancelled)
        lines << QStringLiteral("操作已取消，已置顶的图片仍保留。");
    report.details = lines.join(QLatin1Char('\n'));
    return report;
}

} // namespace vorlith
