// Runs a program to completion for end-to-end tests: arguments, extra
// environment, captured output, a time limit after which it is killed.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct RunResult {
    int exit_code = -1;  // -1: killed or did not exit normally
    bool timed_out = false;
    std::string out;
    std::string err;
    double seconds = 0;
};

inline std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Whether a process has SIGINT and SIGTERM blocked in its first thread: a
// program built on the library does from the first moment of its entry
// (after the dynamic loader), and takes the signals through Exit from then on.
inline bool takes_stop_signals(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigBlk:", 0) != 0) continue;
        const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
        auto blocked = [mask](int signal) { return ((mask >> (signal - 1)) & 1) != 0; };
        // Every signal blocked is a passing moment (a runtime or a backend
        // starting a thread), not the program taking its stop signals: a
        // signal sent then is delivered when the mask is put back.
        return blocked(SIGINT) && blocked(SIGTERM) && !blocked(SIGHUP);
    }
    return false;
}

inline RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                             const std::vector<std::string>& env = {}, double timeout_s = 60,
                             const std::function<void(pid_t)>& on_start = nullptr) {
    RunResult r;
    char out_tmpl[] = "/tmp/e2e_out_XXXXXX";
    char err_tmpl[] = "/tmp/e2e_err_XXXXXX";
    int out_fd = mkstemp(out_tmpl);
    int err_fd = mkstemp(err_tmpl);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        int null_fd = open("/dev/null", O_RDONLY);
        dup2(null_fd, 0);
        for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (on_start) on_start(pid);
    int status = 0;
    for (;;) {
        pid_t w = waitpid(pid, &status, WNOHANG);
        if (w == pid) break;
        double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (elapsed > timeout_s) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            r.timed_out = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!r.timed_out && WIFEXITED(status)) r.exit_code = WEXITSTATUS(status);
    close(out_fd);
    close(err_fd);
    r.out = read_file(out_tmpl);
    r.err = read_file(err_tmpl);
    unlink(out_tmpl);
    unlink(err_tmpl);
    return r;
}

}  // namespace testsupport
