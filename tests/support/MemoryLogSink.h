#pragma once

#include "app/base/Diagnostics.h"

#include <QMutex>
#include <QStringList>

#include <memory>

namespace vorlith::test {

// Keeps event records in memory; installed for the lifetime of the object.
class MemoryLogSink final : public LogSink {
public:
    struct Record {
        QString subsystem;
        QString category;
        QString text;
    };

    void write(const QString& subsystem, const QString& category, const QString& text) override
    {
        QMutexLocker lock(&m_mutex);
        m_records.push_back({subsystem, category, text});
    }
    QList<Record> records() const
    {
        QMutexLocker lock(&m_mutex);
        return m_records;
    }
    QStringList events() const
    {
        QStringList out;
        for (const Record& r : records())
            out << r.text;
        return out;
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_records.clear();
    }

private:
    mutable QMutex m_mutex;
    QList<Record> m_records;
};

// Installs a MemoryLogSink for a scope and restores the previous sink afterwards.
class ScopedLogCapture {
public:
    ScopedLogCapture() : m_sink(std::make_shared<MemoryLogSink>()) { m_previous = Diagnostics::setSink(m_sink); }
    ~ScopedLogCapture() { Diagnostics::setSink(m_previous); }
    MemoryLogSink& sink() { return *m_sink; }
    QStringList events() const { return m_sink->events(); }

private:
    std::shared_ptr<MemoryLogSink> m_sink;
    std::shared_ptr<LogSink> m_previous;
};

} // namespace vorlith::test
