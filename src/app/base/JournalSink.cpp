#include "app/base/JournalSink.h"

#include <QFileInfo>

#include <chrono>

#include <syslog.h>
#include <systemd/sd-journal.h>

namespace vorlith {

JournalSink::JournalSink(Writer writer, std::size_t capacity) : m_state(std::make_shared<State>())
{
    m_state->capacity = capacity > 0 ? capacity : 1;
    m_thread = std::thread(&JournalSink::drain, m_state, writer ? std::move(writer) : systemWriter());
}

JournalSink::~JournalSink()
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
    }
    m_state->wake.notify_all();
    // A reader that has stalled must not hold up the process's exit: the thread keeps its
    // own share of the state and ends when the write it is in returns.
    m_thread.detach();
}

void JournalSink::write(const QString& subsystem, const QString& category, const QString& text)
{
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->queue.size() >= m_state->capacity) {
            m_state->dropped.fetch_add(1);
            return;
        }
        m_state->queue.push_back(Record{subsystem, category, text});
    }
    m_state->wake.notify_one();
}

void JournalSink::drain(std::shared_ptr<State> state, Writer writer)
{
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] { return state->stopping || !state->queue.empty(); });
        if (state->queue.empty())
            return; // stopping, nothing left
        Record record = std::move(state->queue.front());
        state->queue.pop_front();
        lock.unlock();
        writer(record);
        lock.lock();
    }
}

JournalSink::Writer JournalSink::systemWriter()
{
    if (QFileInfo::exists(QStringLiteral("/run/systemd/journal/socket"))) {
        return [](const Record& record) {
            const QByteArray message = "MESSAGE=" + record.text.toUtf8();
            const QByteArray identifier = "SYSLOG_IDENTIFIER=" + record.subsystem.toUtf8();
            const QByteArray category = "VORLITH_CATEGORY=" + record.category.toUtf8();
            const QByteArray priority = "PRIORITY=" + QByteArray::number(LOG_NOTICE);
            sd_journal_send("%s", message.constData(), "%s", identifier.constData(), "%s", category.constData(), "%s",
                            priority.constData(), nullptr);
        };
    }
    // openlog keeps the pointer: the identifier is a literal that lives for the process.
    openlog(Diagnostics::subsystem, LOG_PID | LOG_NDELAY, LOG_USER);
    return [](const Record& record) {
        const QByteArray bytes = ("[" + record.category + "] " + record.text).toUtf8();
        syslog(LOG_NOTICE, "%s", bytes.constData());
    };
}

} // namespace vorlith
