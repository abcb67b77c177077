#pragma once

// What the harness programs share: answers written a line at a time to standard output, and
// commands read a line at a time from standard input (the end of input quits).

#include <QCoreApplication>
#include <QScreen>
#include <QWidget>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <unistd.h>

namespace vorlith::harness {

inline void say(const QString& line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// A widget's rectangle in the server's pixels: Qt keeps each screen's native corner and
// divides the rest by the screen's scale.
inline QString nativeRectText(const QWidget* widget)
{
    if (!widget)
        return QStringLiteral("none");
    const QScreen* screen = widget->screen();
    const QPoint corner = screen ? screen->geometry().topLeft() : QPoint();
    const double scale = widget->devicePixelRatioF();
    const QPointF topLeft = QPointF(corner) + QPointF(widget->mapToGlobal(QPoint(0, 0)) - corner) * scale;
    return QStringLiteral("%1,%2,%3,%4")
        .arg(qRound(topLeft.x()))
        .arg(qRound(topLeft.y()))
        .arg(qRound(widget->width() * scale))
        .arg(qRound(widget->height() * scale));
}

// The value of `name=` among a command's words; empty when absent.
inline QString option(const QStringList& words, const QString& name)
{
    const QString prefix = name + QLatin1Char('=');
    for (const QString& word : words)
        if (word.startsWith(prefix))
            return word.mid(prefix.size());
    return {};
}

// Calls `perform` with every non-empty line of standard input, trimmed, and `ended` once the
// input closes (by default the program quits; an empty `ended` keeps it serving).
class InputLines {
public:
    explicit InputLines(std::function<void(const QString&)> perform,
                        std::function<void()> ended = [] { QCoreApplication::quit(); })
        : m_perform(std::move(perform)), m_ended(std::move(ended)), m_input(STDIN_FILENO, QSocketNotifier::Read)
    {
        QObject::connect(&m_input, &QSocketNotifier::activated, [this] { read(); });
    }

private:
    void read()
    {
        char chunk[4096];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            m_input.setEnabled(false);
            if (m_ended)
                m_ended();
            return;
        }
        m_pending.append(chunk, int(got));
        qsizetype end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromLocal8Bit(m_pending.left(end)).trimmed();
            m_pending.remove(0, end + 1);
            if (!line.isEmpty())
                m_perform(line);
        }
    }

    std::function<void(const QString&)> m_perform;
    std::function<void()> m_ended;
    QSocketNotifier m_input;
    QByteArray m_pending;
};

} // namespace vorlith::harness
