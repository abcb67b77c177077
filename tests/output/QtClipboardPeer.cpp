// Another program that copies a picture the way Qt programs do: QClipboard::setImage, which
// offers the image in every format Qt writes and encodes it anew for every request.
// Usage: qt_clipboard_peer WIDTH HEIGHT
// Prints "owned" once it owns CLIPBOARD, "lost" when another client takes it; every line
// "take" on its standard input takes CLIPBOARD again with the same picture ("owned" again).
// Stays until its standard input closes or it is killed.
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QSocketNotifier>

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace {

// A photograph-like picture: smooth gradients with grain, so every encoding has work to do.
QImage picture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 28) - 8;
            row[x] = qRgb(qBound(0, x * 255 / width + grain, 255), qBound(0, y * 255 / height + grain, 255),
                          qBound(0, 160 + grain, 255));
        }
    }
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: qt_clipboard_peer WIDTH HEIGHT\n");
        return 2;
    }
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);
    QGuiApplication app(argc, argv);
    QClipboard* clipboard = QGuiApplication::clipboard();
    QObject::connect(clipboard, &QClipboard::changed, [clipboard](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard()) {
            std::printf("lost\n");
            std::fflush(stdout);
        }
    });
    const QImage image = picture(width, height);
    const auto take = [clipboard, &image] {
        clipboard->setImage(image, QClipboard::Clipboard);
        if (!clipboard->ownsClipboard())
            return false;
        std::printf("owned\n");
        std::fflush(stdout);
        return true;
    };
    if (!take())
        return 1;

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[64];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, got);
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            if (pending.left(end).trimmed() == "take")
                take();
            pending.remove(0, end + 1);
        }
    });
    return app.exec();
}
