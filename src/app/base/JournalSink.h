#pragma once

#include "app/base/Diagnostics.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace vorlith {

// The event log of the running application: records go to the systemd journal with the
// identifier and category as fields of their own, or to syslog where no journal runs. A
// caller never waits on the journal: `write` puts the record in a bounded queue that one
// thread drains, and a record that finds the queue full is dropped and counted.
class JournalSink final : public LogSink {
public:
    struct Record {
        QString subsystem;
        QString category;
        QString text;
    };
    // Hands one record to the log; may block as long as the log's reader makes it.
    using Writer = std::function<void(const Record&)>;

    static constexpr std::size_t defaultCapacity = 1024;

    // Absent writer: the journal when one runs, else syslog.
    explicit JournalSink(Writer writer = {}, std::size_t capacity = defaultCapacity);
    ~JournalSink() override;
    JournalSink(const JournalSink&) = delete;
    JournalSink& operator=(const JournalSink&) = delete;

    void write(const QString& subsystem, const QString& category, const QString& text) override;

    // Records dropped because the queue was full.
    [[nodiscard]] std::uint64_t droppedCount() const { return m_state->dropped.load(); }

    // The default writer: sd_journal_send with SYSLOG_IDENTIFIER and VORLITH_CATEGORY when
    // the journal's socket exists, syslog otherwise.
    [[nodiscard]] static Writer systemWriter();

private:
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<Record> queue;
        std::size_t capacity = defaultCapacity;
        bool stopping = false;
        std::atomic<std::uint64_t> dropped = 0;
    };
    static void drain(std::shared_ptr<State> state, Writer writer);

    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

} // namespace vorlith
