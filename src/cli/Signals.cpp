#include "cli/Signals.h"

#include <atomic>

namespace CLI {
namespace {

// Set by a signal handler on whichever thread the signal lands, read by the batch's.
std::atomic<int> stopSignal = 0;
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only touch lock-free atomics");

void noteStop(int signal)
{
    stopSignal = signal;
}

} // namespace

StopSignals::StopSignals()
{
    stopSignal = 0;
    struct sigaction action
    {
    };
    action.sa_handler = &noteStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < m_signals.size(); ++i) {
        sigaction(m_signals[i], nullptr, &m_previous[i]);
        if (m_previous[i].sa_handler != SIG_IGN)
            sigaction(m_signals[i], &action, nullptr);
    }
}

StopSignals::~StopSignals()
{
    for (std::size_t i = 0; i < m_signals.size(); ++i)
        sigaction(m_signals[i], &m_previous[i], nullptr);
}

int StopSignals::received() const
{
    return stopSignal.load();
}

} // namespace CLI
