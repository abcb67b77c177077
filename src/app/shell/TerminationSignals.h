#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace vorlith {

// SIGINT, SIGTERM and SIGHUP as ordinary quit requests on the main thread: the handler only
// writes a byte into a pipe, whose read end a QSocketNotifier watches. One per process.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // False when the pipe or a handler could not be set up (the signals then end the
    // process as they do by default).
    bool isInstalled() const { return m_installed; }

    // A signal arrived (once per signal).
    std::function<void(int signal)> onSignal;

private:
    void drain();

    int m_fds[2] = {-1, -1};
    bool m_installed = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace vorlith
