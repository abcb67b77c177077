#pragma once

#include <QString>

#include <memory>

namespace vorlith {

// Where event records go. The application writes to the systemd journal (JournalSink); tests
// install a sink that keeps the records in memory.
class LogSink {
public:
    virtual ~LogSink() = default;
    // One record: the subsystem (application id), the category and the event text as given.
    virtual void write(const QString& subsystem, const QString& category, const QString& text) = 0;
};

// The application's trace of its main steps: one record per event, category "capture".
class Diagnostics {
public:
    static constexpr const char* subsystem = "app.vorlith.Vorlith";
    static constexpr const char* category = "capture";

    static void event(const QString& name);

    // Replaces the sink (nullptr restores the journal). Returns the previous one.
    static std::shared_ptr<LogSink> setSink(std::shared_ptr<LogSink> sink);
};

} // namespace vorlith
