// What the movie benches share: running a program to its end, and a grid
// movie made once (by make_grid_movie) and kept in the temporary folder for
// later runs.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace benchsupport {

inline std::filesystem::path temp_dir() {
    const char* t = std::getenv("TMPDIR");
    return t && *t ? std::filesystem::path(t) : std::filesystem::path("/tmp");
}

// Runs a program to its end, its output discarded; its exit code.
inline int run(const std::vector<std::string>& argv) {
    pid_t pid = fork();
    if (pid == 0) {
        if (std::FILE* null = std::freopen("/dev/null", "w", stderr)) (void)null;
        if (std::FILE* null = std::freopen("/dev/null", "w", stdout)) (void)null;
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// NAME_WxH_N.avi in the temporary folder, made by `maker` (make_grid_movie)
// if it is not there yet.
inline std::string grid_movie(const char* maker, const std::string& name, int width, int height, int frames) {
    namespace fs = std::filesystem;
    const fs::path p = temp_dir() / (name + "_" + std::to_string(width) + "x" + std::to_string(height) + "_" +
                                     std::to_string(frames) + ".avi");
    if (!fs::exists(p)) {
        const fs::path part = p.string() + ".part.avi";
        if (run({maker, part.string(), std::to_string(width), std::to_string(height), std::to_string(frames)}) != 0)
            std::fprintf(stderr, "%s: cannot make the movie\n", name.c_str());
        std::error_code ec;
        fs::rename(part, p, ec);
    }
    return p.string();
}

}  // namespace benchsupport
