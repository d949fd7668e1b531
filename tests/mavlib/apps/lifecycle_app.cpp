// Records, one line each, what the library calls and on which thread, into
// the file named by MAV_TEST_LOG. MAV_TEST_MODE=ignore_stop makes UserMain
// run until the process ends; MAV_TEST_TRIGGERS=1 turns the trigger keys on.
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "frame/globals.h"
#include "mavlib.h"

namespace {

// Static initialisation runs on the process's first thread: the window thread.
const std::thread::id g_first_thread = std::this_thread::get_id();

const MAV_ProgramOption kOptions[] = {{"--label", 1, "TEXT", "a label for this run"}};
[[maybe_unused]] const int kDeclared = MAV_DeclareProgramOptions(kOptions, 1);

std::mutex g_log_mutex;

void log_line(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void log_line(const char* fmt, ...) {
    const char* path = std::getenv("MAV_TEST_LOG");
    if (!path) return;
    std::lock_guard lock(g_log_mutex);
    FILE* f = std::fopen(path, "a");
    if (!f) return;
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(f, fmt, ap);
    va_end(ap);
    std::fputc('\n', f);
    std::fclose(f);
}

const char* which_thread() {
    return std::this_thread::get_id() == g_first_thread ? "window-thread" : "user-thread";
}

bool ignore_stop() {
    const char* mode = std::getenv("MAV_TEST_MODE");
    return mode && std::strcmp(mode, "ignore_stop") == 0;
}

}  // namespace

void UserSetup(void) {
    const char* triggers = std::getenv("MAV_TEST_TRIGGERS");
    if (triggers && std::strcmp(triggers, "1") == 0) MAV_EnableTriggerKeys(1);
    const char* label = MAV_GetProgramOption("--label");
    log_line("setup %s instance %d label %s", which_thread(), mav::frame().instance, label ? label : "-");
}

void UserMain(void) {
    log_line("main-begin %s stop=%d t=%d", which_thread(), MAV_StopRequested(), MAV_GetMilliseconds());
    while (ignore_stop() || !MAV_StopRequested()) {
        MAV_PumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    log_line("main-end %s", which_thread());
}

void UserExit(void) {
    log_line("exit %s t=%d trigger=%d", which_thread(), MAV_GetMilliseconds(), MAV_GetTriggerFlag());
}
