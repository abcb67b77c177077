#include "app/shell/ImageOpenPanel.h"

#include "platform/FloatingWindows.h"
#include "platform/WindowLevel.h"

#include <QFileDialog>
#include <QMimeDatabase>

namespace vorlith {

QFileDialog* ImageOpenPanel::open(const std::shared_ptr<FloatingWindows>& windows, QWidget* parent,
                                  std::function<void(std::optional<QList<QUrl>>)> finished)
{
    auto* dialog = new QFileDialog(nullptr, QString::fromUtf8(title));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setMimeTypeFilters({QStringLiteral("image/png"), QStringLiteral("image/jpeg")});
    // Both kinds at once first, so a folder of mixed images shows whole.
    QStringList patterns;
    const QMimeDatabase database;
    for (const char* type : {"image/png", "image/jpeg"})
        patterns << database.mimeTypeForName(QString::fromLatin1(type)).globPatterns();
    QStringList filters = dialog->nameFilters();
    filters.prepend(QStringLiteral("PNG、JPEG 图片 (%1)").arg(patterns.join(QLatin1Char(' '))));
    dialog->setNameFilters(filters);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, finished = std::move(finished)](int result) {
        const QList<QUrl> urls = dialog->selectedUrls();
        if (finished)
            finished(result == QDialog::Accepted && !urls.isEmpty() ? std::optional(urls) : std::nullopt);
    });
    if (windows)
        windows->placeDialog(dialog, parent, WindowLevel::pin);
    dialog->open();
    if (windows)
        windows->raise(dialog);
    return dialog;
}

} // namespace vorlith
