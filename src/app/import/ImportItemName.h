#pragma once

#include <QString>
#include <QUrl>

namespace vorlith {

// The name under which an import lists a URL: its last path component ("/" for the root,
// the whole URL when it has no path).
QString lastPathComponent(const QUrl& url);

} // namespace vorlith
