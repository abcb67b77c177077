#pragma once

#include <QString>
#include <QUrl>

namespace vorlith {

// One offered release, as the update window shows it.
struct AppcastItem {
    QString displayVersionString;
    // Nothing can be downloaded: the release is only described on its page (`infoURL`).
    bool isInformationOnlyUpdate = false;
    QUrl infoURL; // empty when the release names no page
};

} // namespace vorlith
