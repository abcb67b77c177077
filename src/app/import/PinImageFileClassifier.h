#pragma once

#include <QUrl>

namespace vorlith {

// Decides from a file URL's name and what the file system says about it whether it names an
// image, something that is certainly not an image, or something that cannot be judged. It
// never reads file contents: the decoder rejects bad content later. Free of state; any thread.
struct PinImageFileClassifier {
    enum class Kind { image, nonImage, unknown };

    static Kind classify(const QUrl& url);

    // A MIME type is an image when its name or one of its ancestors' starts with "image/".
    static bool isImageType(const QString& mimeTypeName);
};

} // namespace vorlith
