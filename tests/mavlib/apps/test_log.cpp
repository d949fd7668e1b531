#include "test_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {
std::mutex g_log_mutex;  // threads of one program write whole lines
}  // namespace

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
