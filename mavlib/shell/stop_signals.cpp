#include "shell/stop_signals.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <thread>

#include "runtime/commands.h"
#include "runtime/frame_state.h"
#include "shell/main_window.h"

namespace mav {

namespace {

std::atomic<int> g_signal{0};
std::atomic<bool> g_window_ready{false};
int g_signal_fd = -1;
int g_wake_fd = -1;  // written once to end the watching thread
std::thread g_watcher;

sigset_t stop_set() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

void post_exit() { post_main_command(kCmdExit); }

void take(int signal) {
    int none = 0;
    g_signal.compare_exchange_strong(none, signal);
    // Before the main window exists nobody can carry Exit out: the entry
    // posts it once the window is there (and one of the two sees the other).
    if (g_window_ready.load()) post_exit();
}

void watch() {
    pollfd fds[2] = {{g_signal_fd, POLLIN, 0}, {g_wake_fd, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) continue;  // EINTR
        if (fds[1].revents) return;
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (::read(g_signal_fd, &info, sizeof info) == ssize_t(sizeof info)) take(int(info.ssi_signo));
        }
    }
}

}  // namespace

StopSignals::StopSignals() {
    const sigset_t set = stop_set();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);  // inherited by every thread started later
    g_signal_fd = ::signalfd(-1, &set, SFD_CLOEXEC);
    g_wake_fd = ::eventfd(0, EFD_CLOEXEC);
    if (g_signal_fd >= 0 && g_wake_fd >= 0) {
        g_watcher = std::thread(watch);
        return;
    }
    // Nothing could read them: better the default end than signals unseen.
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

StopSignals::~StopSignals() {
    if (g_watcher.joinable()) {
        const std::uint64_t one = 1;
        (void)!::write(g_wake_fd, &one, sizeof one);
        g_watcher.join();
    }
    if (g_signal_fd >= 0) ::close(g_signal_fd);
    if (g_wake_fd >= 0) ::close(g_wake_fd);
    g_signal_fd = g_wake_fd = -1;
}

int stop_signal() { return g_signal.load(); }

const char* stop_signal_name(int signal) { return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "a signal"; }

void stop_signals_main_window_ready() {
    g_window_ready = true;
    if (g_signal.load()) post_exit();
}

}  // namespace mav
