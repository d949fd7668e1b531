// SIGINT and SIGTERM end a program the way Exit does, so that UserExit runs
// and the program can say how far it got. They are taken from the first
// moment of the entry on; one that comes before the main window exists is
// kept and acted on as soon as the window is there.
#pragma once

namespace mav {

// Takes SIGINT and SIGTERM away from their default (ending the process at
// once) for as long as the object lives: blocked in the calling thread and
// in every thread started later, and read by a thread of its own.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
};

// The first signal that asked the program to end; 0 when none did.
int stop_signal();
// "SIGINT", "SIGTERM".
const char* stop_signal_name(int signal);

// The main window exists now: a signal that came before it ends the program.
void stop_signals_main_window_ready();

}  // namespace mav
