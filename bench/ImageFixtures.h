#pragma once

// Images that look like what the benchmarks encode and decode: a 4K screenshot of work on a
// desktop, a noisy photograph, and a desktop whose wallpaper is a photograph with terminals
// over it. Every one is generated and the same in every run.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vorlith::bench {

constexpr int width = 3840;
constexpr int height = 2160;

// A desktop with a few windows: title bars, side bars, buttons, lists of text, icons, a code
// editor and a translucent shadow, as a screenshot of real work looks.
inline QImage screenshotLike()
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient wallpaper(0, 0, width, height);
    wallpaper.setColorAt(0, QColor(38, 70, 110));
    wallpaper.setColorAt(1, QColor(90, 40, 90));
    p.fillRect(image.rect(), wallpaper);

    QFont ui(QStringLiteral("WenQuanYi Micro Hei"));
    ui.setPixelSize(26);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setPixelSize(24);
    QRandomGenerator random(7);
    const QStringList words{QStringLiteral("文件"), QStringLiteral("编辑"), QStringLiteral("Settings"),
                            QStringLiteral("截图与标注"), QStringLiteral("Download"), QStringLiteral("项目计划"),
                            QStringLiteral("release-notes.md"), QStringLiteral("图片 2024-05-01.png")};

    const QList<QRect> windows{QRect(120, 100, 2100, 1400), QRect(1500, 500, 2200, 1500), QRect(300, 1200, 1400, 860)};
    for (int w = 0; w < windows.size(); ++w) {
        const QRect frame = windows[w];
        for (int s = 12; s > 0; s -= 3)
            p.fillRect(frame.adjusted(-s, -s + 8, s, s + 8), QColor(0, 0, 0, 10));
        QPainterPath outline;
        outline.addRoundedRect(frame, 14, 14);
        p.fillPath(outline, QColor(250, 250, 250));
        p.fillRect(QRect(frame.left(), frame.top(), frame.width(), 64), QColor(232, 232, 236));
        const QList<QColor> lights{QColor(255, 95, 87), QColor(254, 188, 46), QColor(40, 200, 64)};
        for (int i = 0; i < 3; ++i) {
            p.setBrush(lights[i]);
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPoint(frame.left() + 36 + i * 34, frame.top() + 32), 11, 11);
        }
        p.setFont(ui);
        p.setPen(QColor(40, 40, 40));
        p.drawText(QRect(frame.left(), frame.top(), frame.width(), 64), Qt::AlignCenter, words[w * 2 % words.size()]);

        const QRect sidebar(frame.left(), frame.top() + 64, 420, frame.height() - 64);
        p.fillRect(sidebar, QColor(243, 243, 246));
        for (int row = 0; row * 52 + 90 < sidebar.height(); ++row) {
            const QRect line(sidebar.left() + 24, sidebar.top() + 20 + row * 52, 372, 44);
            if (row == 2) {
                p.setBrush(QColor(0, 110, 230));
                p.setPen(Qt::NoPen);
                p.drawRoundedRect(line, 8, 8);
                p.setPen(Qt::white);
            } else {
                p.setPen(QColor(60, 60, 70));
            }
            p.setBrush(QColor(120 + row * 10 % 100, 140, 200));
            p.drawRoundedRect(QRect(line.left() + 8, line.top() + 10, 24, 24), 5, 5);
            p.drawText(line.adjusted(48, 0, 0, 0), Qt::AlignVCenter, words[(row + w) % words.size()]);
        }

        const QRect content(sidebar.right() + 1, sidebar.top(), frame.right() - sidebar.right(), sidebar.height());
        if (w == 1) {
            p.fillRect(content, QColor(30, 30, 36));
            p.setFont(mono);
            for (int line = 0; line * 34 + 40 < content.height(); ++line) {
                int x = content.left() + 90;
                p.setPen(QColor(110, 110, 120));
                p.drawText(QPoint(content.left() + 20, content.top() + 40 + line * 34), QString::number(line + 1));
                const int tokens = 2 + int(random.bounded(6));
                for (int t = 0; t < tokens; ++t) {
                    static const QList<QColor> syntax{QColor(86, 156, 214), QColor(206, 145, 120),
                                                      QColor(220, 220, 170), QColor(156, 220, 254)};
                    p.setPen(syntax[int(random.bounded(syntax.size()))]);
                    const QString token = words[int(random.bounded(words.size()))];
                    p.drawText(QPoint(x, content.top() + 40 + line * 34), token);
                    x += p.fontMetrics().horizontalAdvance(token) + 14;
                }
            }
        } else {
            p.setFont(ui);
            for (int row = 0; row * 64 + 80 < content.height(); ++row) {
                const QRect line(content.left() + 30, content.top() + 24 + row * 64, content.width() - 60, 56);
                if (row % 2 == 1)
                    p.fillRect(line, QColor(245, 247, 250));
                p.setPen(QColor(30, 30, 30));
                p.drawText(line.adjusted(70, 0, 0, 0), Qt::AlignVCenter,
                           words[(row * 3 + w) % words.size()] + QStringLiteral("  ") + words[(row + 1) % words.size()]);
                p.setPen(QColor(140, 140, 140));
                p.drawText(line.adjusted(0, 0, -20, 0), Qt::AlignVCenter | Qt::AlignRight,
                           QStringLiteral("2024-05-%1  %2 KB").arg(row % 28 + 1).arg(row * 37 % 900 + 12));
                p.setBrush(QColor(255, 190, 60));
                p.setPen(Qt::NoPen);
                p.drawRoundedRect(QRect(line.left() + 14, line.top() + 12, 36, 30), 4, 4);
            }
            p.setBrush(QColor(0, 110, 230));
            p.drawRoundedRect(QRect(content.right() - 260, content.bottom() - 90, 220, 60), 10, 10);
            p.setPen(Qt::white);
            p.drawText(QRect(content.right() - 260, content.bottom() - 90, 220, 60), Qt::AlignCenter, QStringLiteral("确定"));
        }
    }
    p.end();
    return image;
}

// A photograph stand-in: smooth colour fields with sensor noise on every pixel.
inline QImage photoLike()
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    QRandomGenerator random(11);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int noise = int(random.bounded(17)) - 8;
            const int r = 120 + int(80 * std::sin(x / 300.0)) + noise;
            const int g = 110 + int(70 * std::cos(y / 250.0)) + noise;
            const int b = 100 + int(60 * std::sin((x + y) / 400.0)) + noise;
            row[x] = qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
        }
    }
    return image;
}


// A photographic desktop: a sky wallpaper (a vertical gradient with soft clouds and the film
// grain of a real photograph on every pixel) with two dark terminal windows of coloured
// monospaced text over it. The wallpaper's grain is what makes such screenshots large; the
// terminals are flat runs and repeated glyphs.
inline QImage photographicDesktop()
{
    // The wallpaper is a photograph of half the screen's size, scaled up smoothly as desktops
    // show them, so its grain is soft and spread over neighbouring pixels.
    const int photoWidth = width / 2;
    const int photoHeight = height / 2;
    QImage photo(photoWidth, photoHeight, QImage::Format_ARGB32_Premultiplied);
    QRandomGenerator random(23);
    // Soft clouds: a few wide blobs whose density falls off smoothly, summed per pixel.
    struct Cloud {
        double x, y, rx, ry, density;
    };
    std::vector<Cloud> clouds;
    for (int i = 0; i < 14; ++i)
        clouds.push_back({random.bounded(double(photoWidth)), random.bounded(photoHeight * 0.7),
                          125 + random.bounded(300.0), 40 + random.bounded(80.0), 0.35 + random.bounded(0.5)});
    std::vector<double> row(static_cast<size_t>(photoWidth));
    for (int y = 0; y < photoHeight; ++y) {
        const double t = double(y) / photoHeight;
        // Deep blue at the top to a pale haze at the horizon.
        const double skyR = 40 + 150 * t, skyG = 95 + 120 * t, skyB = 185 + 55 * t;
        std::fill(row.begin(), row.end(), 0.0);
        for (const Cloud& c : clouds) {
            const double dy = (y - c.y) / c.ry;
            if (std::abs(dy) > 2.2)
                continue;
            const int from = std::max(0, int(c.x - 2.2 * c.rx));
            const int to = std::min(photoWidth, int(c.x + 2.2 * c.rx));
            for (int x = from; x < to; ++x) {
                const double dx = (x - c.x) / c.rx;
                // A little ripple at the edges, as clouds have.
                const double wobble = 0.15 * std::sin(x / 19.0 + c.y) * std::cos(y / 15.0 + c.x);
                row[size_t(x)] += c.density * std::exp(-(dx * dx + dy * dy) * (1.2 + wobble));
            }
        }
        auto* out = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < photoWidth; ++x) {
            const double cloud = std::min(1.0, row[size_t(x)]);
            // Film grain: the same in every channel, with a little colour of its own.
            const int grain = int(random.bounded(3)) - 1;
            const auto channel = [&](double sky, double white) {
                const int tint = random.bounded(4) == 0 ? int(random.bounded(3)) - 1 : 0;
                return std::clamp(int(std::lround(sky + (white - sky) * cloud)) + grain + tint, 0, 255);
            };
            out[x] = qRgb(channel(skyR, 246), channel(skyG, 247), channel(skyB, 250));
        }
    }
    QImage image = photo.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_ARGB32_Premultiplied);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setPixelSize(22);
    p.setFont(mono);
    const QStringList lines{QStringLiteral("$ git log --oneline | head -20"),
                            QStringLiteral("408ba5c Merge branch 'harnessclient'"),
                            QStringLiteral("drwxr-xr-x  5 user user  4096 May  1 10:22 src"),
                            QStringLiteral("-rw-r--r--  1 user user 12034 May  1 10:21 README.md"),
                            QStringLiteral("[ 42%] Building CXX object src/CMakeFiles/app.dir/main.cpp.o"),
                            QStringLiteral("warning: unused variable 'count' [-Wunused-variable]"),
                            QStringLiteral("  PID USER      PR  NI    VIRT    RES  %CPU  %MEM COMMAND"),
                            QStringLiteral("ok 17 - encodes the wallpaper in bands"),
                            QStringLiteral("$ make -j8 && ./run --all"),
                            QStringLiteral("")};
    const QList<QColor> colours{QColor(220, 220, 220), QColor(120, 200, 120), QColor(110, 160, 240),
                                QColor(230, 200, 110), QColor(220, 110, 110)};
    const QList<QRect> terminals{QRect(260, 240, 1700, 1150), QRect(1900, 900, 1650, 1050)};
    for (const QRect& frame : terminals) {
        for (int s = 16; s > 0; s -= 4)
            p.fillRect(frame.adjusted(-s, -s + 10, s, s + 10), QColor(0, 0, 0, 14));
        QPainterPath outline;
        outline.addRoundedRect(frame, 10, 10);
        p.fillPath(outline, QColor(28, 30, 36));
        p.fillRect(QRect(frame.left(), frame.top(), frame.width(), 44), QColor(48, 50, 58));
        p.setPen(QColor(200, 200, 205));
        p.drawText(QRect(frame.left(), frame.top(), frame.width(), 44), Qt::AlignCenter, QStringLiteral("user@host: ~/src"));
        for (int line = 0; line * 30 + 90 < frame.height(); ++line) {
            p.setPen(colours[int(random.bounded(colours.size()))]);
            p.drawText(QPoint(frame.left() + 18, frame.top() + 80 + line * 30),
                       lines[int(random.bounded(lines.size()))]);
        }
    }
    p.end();
    return image;
}

} // namespace vorlith::bench
