#pragma once
// SIGTERM, SIGINT and SIGHUP as a readable file descriptor, so that the X
// event loop, which sleeps in poll, wakes up and closes the saver in order.

#include <csignal>

class StopSignals {
public:
    // Installs the handlers; false when the pipe or a handler could not be
    // set up (the signals then keep their default action).
    bool Install();
    ~StopSignals();

    // Readable once a stop signal has arrived; -1 before Install.
    int Fd() const;
    // Whether a stop signal has arrived (does not block).
    bool Pending() const;
    // Non-zero once a stop signal has arrived: for code that cannot wait on
    // the descriptor, such as a download polling between its reads.
    static const volatile std::sig_atomic_t* Flag();
};
