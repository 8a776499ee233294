#pragma once

#include <array>
#include <csignal>

namespace CLI {

// While a batch runs, Ctrl-C, a hang-up or a polite kill end it after the file
// in progress, so no file is left half done and the lines printed are true. A
// signal the caller chose to ignore (nohup, a background job) stays ignored.
class StopSignals
{
public:
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    ~StopSignals();

    // The signal received, or 0.
    int received() const;

private:
    static constexpr std::array<int, 3> m_signals {SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> m_previous {};
};

// Shells report a process ended by a signal as 128 plus its number.
inline constexpr int signalStatusBase = 128;

} // namespace CLI
