#include "app/shell/TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vorlith {

namespace {

int writeEnd = -1;

void handle(int signal)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    if (writeEnd >= 0)
        [[maybe_unused]] const ssize_t written = ::write(writeEnd, &byte, 1);
    errno = saved;
}

constexpr int handled[] = {SIGINT, SIGTERM, SIGHUP};

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    if (::pipe2(m_fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    writeEnd = m_fds[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_fds[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { drain(); });
    struct sigaction action = {};
    action.sa_handler = handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    m_installed = true;
    for (int signal : handled)
        m_installed = ::sigaction(signal, &action, nullptr) == 0 && m_installed;
}

TerminationSignals::~TerminationSignals()
{
    for (int signal : handled)
        ::signal(signal, SIG_DFL);
    writeEnd = -1;
    m_notifier.reset();
    for (int fd : m_fds) {
        if (fd >= 0)
            ::close(fd);
    }
}

void TerminationSignals::drain()
{
    unsigned char bytes[64];
    for (;;) {
        const ssize_t count = ::read(m_fds[0], bytes, sizeof bytes);
        if (count <= 0)
            break;
        for (ssize_t i = 0; i < count; ++i) {
            if (onSignal)
                onSignal(bytes[i]);
        }
    }
}

} // namespace vorlith
