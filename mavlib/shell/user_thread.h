// The user thread: runs the program's UserSetup once, then idles serving
// requests and runs UserMain at each Start; UserExit at the end.
#pragma once

namespace mav {

void start_user_thread();
// Waits up to `timeout_ms` for the thread to end; true when it has.
bool wait_user_thread(int timeout_ms);
// Gives up on a thread that would not end: it is left running and the
// process ends without waiting for it.
void abandon_user_thread();
bool user_thread_abandoned();
void join_user_thread();

// Calls the program's UserExit unless it has been called already; UserExit
// runs exactly once whichever thread gets there first.
void call_user_exit_once();

}  // namespace mav
