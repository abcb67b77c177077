#include "app/import/ClipboardFileList.h"

#include <optional>

namespace vorlith {

namespace {

QList<QByteArray> lines(const QByteArray& data)
{
    QList<QByteArray> out;
    for (QByteArray line : data.split('\n')) {
        line = line.trimmed(); // also drops the \r of CRLF lines and a trailing NUL-free blank
        if (!line.isEmpty())
            out << line;
    }
    return out;
}

bool isFileUri(const QUrl& url)
{
    return url.isValid() && url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) == 0;
}

// A file: URI that names a file of this machine, as a plain local-file URL.
std::optional<QUrl> localFile(const QUrl& url)
{
    if (!isFileUri(url))
        return std::nullopt;
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const QString path = url.path();
    if (!path.startsWith(QLatin1Char('/')))
        return std::nullopt;
    return QUrl::fromLocalFile(path);
}

void take(ClipboardFileList& list, const QUrl& url)
{
    if (const std::optional<QUrl> file = localFile(url))
        list.files << *file;
}

} // namespace

QString ClipboardFileList::uriListType()
{
    return QStringLiteral("text/uri-list");
}

QString ClipboardFileList::copiedFilesType()
{
    return QStringLiteral("x-special/gnome-copied-files");
}

ClipboardFileList ClipboardFileList::fromUriList(const QByteArray& data)
{
    ClipboardFileList list;
    for (const QByteArray& line : lines(data)) {
        if (line.startsWith('#'))
            continue; // comments are part of the format
        const QUrl url = QUrl::fromEncoded(line);
        if (!isFileUri(url))
            continue; // a web link is no file reference
        list.fileReferencePresent = true;
        take(list, url);
    }
    return list;
}

ClipboardFileList ClipboardFileList::fromCopiedFiles(const QByteArray& data)
{
    ClipboardFileList list;
    QList<QByteArray> entries = lines(data);
    if (!entries.isEmpty() && (entries.first() == "copy" || entries.first() == "cut"))
        entries.removeFirst();
    for (const QByteArray& entry : entries) {
        list.fileReferencePresent = true;
        take(list, QUrl::fromEncoded(entry));
    }
    return list;
}

} // namespace vorlith
