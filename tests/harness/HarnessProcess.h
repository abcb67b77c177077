#pragma once

// overlay_harness as the X11 tests drive it: a child process spoken to line by line, its
// answers collected while the test's event loop runs.

#include "support/TestSupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

// The overlay harness is the default program; targets that drive only another name none.
#ifndef VORLITH_OVERLAY_HARNESS
#define VORLITH_OVERLAY_HARNESS ""
#endif

namespace vorlith::test {

class HarnessProcess {
public:
#ifdef VORLITH_OVERLAY_HARNESS
    HarnessProcess() : HarnessProcess(QStringLiteral(VORLITH_OVERLAY_HARNESS)) {}
#endif
    // Another harness program that speaks the same way (pin_harness, pin_request_harness),
    // with its arguments and environment.
    explicit HarnessProcess(const QString& program, const QStringList& arguments = {},
                            const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setProcessEnvironment(environment);
        m_process.start(program, arguments);
    }
    ~HarnessProcess()
    {
        send("quit");
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }
    HarnessProcess(const HarnessProcess&) = delete;
    HarnessProcess& operator=(const HarnessProcess&) = delete;

    void send(const QByteArray& command) { m_process.write(command + '\n'); }

    // The first line not yet looked at that starts with `prefix`, waiting for it; every line
    // read is kept in `lines`.
    std::optional<QString> line(const QString& prefix, std::chrono::milliseconds timeout = 10s)
    {
        std::optional<QString> found;
        runUntil(
            [&] {
                while (m_process.canReadLine()) {
                    const QString read = QString::fromLocal8Bit(m_process.readLine()).trimmed();
                    lines << read;
                }
                for (; !found && m_looked < lines.size(); ++m_looked) {
                    if (lines[m_looked].startsWith(prefix))
                        found = lines[m_looked];
                }
                return found.has_value();
            },
            timeout);
        return found;
    }
    // The "overlay ..." lines of a state report.
    QStringList state()
    {
        const qsizetype from = lines.size();
        send("state");
        if (!line(QStringLiteral("end")))
            return {};
        return lines.mid(from).filter(QRegularExpression(QStringLiteral("^overlay ")));
    }
    // Everything read so far, for a failure's message.
    std::string transcript() const { return lines.join(QLatin1Char('\n')).toStdString(); }

    QStringList lines;

private:
    QProcess m_process;
    qsizetype m_looked = 0;
};

// The value of `name=` in a harness line.
inline QString field(const QString& line, const QString& name)
{
    return QRegularExpression(QStringLiteral("\\b%1=(\\S+)").arg(name)).match(line).captured(1);
}

} // namespace vorlith::test
