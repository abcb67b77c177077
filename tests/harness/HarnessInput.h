#pragma once

// The standard input of a harness program: one command a line, read as it arrives.

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <functional>
#include <unistd.h>

namespace vorlith::test {

class HarnessInput : public QObject {
public:
    // `perform` gets each non-empty line, trimmed; `ended` is called once input closes.
    HarnessInput(std::function<void(const QString&)> perform, std::function<void()> ended)
        : m_notifier(STDIN_FILENO, QSocketNotifier::Read)
        , m_perform(std::move(perform))
        , m_ended(std::move(ended))
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, [this] { read(); });
    }

private:
    void read()
    {
        char chunk[4096];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            m_notifier.setEnabled(false);
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

    QSocketNotifier m_notifier;
    QByteArray m_pending;
    std::function<void(const QString&)> m_perform;
    std::function<void()> m_ended;
};

} // namespace vorlith::test
