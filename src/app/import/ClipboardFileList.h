#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>

namespace vorlith {

// The files a clipboard names, from one of the two lists X11 programs offer: "text/uri-list"
// (which browsers also fill with web links) and the file managers' "x-special/gnome-copied-files"
// ("copy" or "cut", then one URI a line). Only local files are kept.
struct ClipboardFileList {
    static QString uriListType();     // "text/uri-list"
    static QString copiedFilesType(); // "x-special/gnome-copied-files"

    QList<QUrl> files;
    // A file reference was there (a file: URI, or any entry of a copied-files list), whether
    // or not it named a local file. Web links alone leave it false.
    bool fileReferencePresent = false;

    static ClipboardFileList fromUriList(const QByteArray& data);
    static ClipboardFileList fromCopiedFiles(const QByteArray& data);
};

} // namespace vorlith
