// Logging a text window into a file, and copying that file to the clipboard.
// The log fields live in the text window record under its lock: the window
// thread prints and closes logs while the user thread runs these calls.
#include "tools/text_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <string>

#include "mavlib.h"
#include "plat/core/clipboard.h"
#include "plat/base/codepage.h"
#include "plat/ui/dialogs.h"
#include "plat/codecs/input_file.h"
#include "runtime/frame_state.h"
#include "text/text_window.h"

namespace mav {

namespace {

TextWindow* open_window(int no) {
    if (no < 0 || no >= kTextSlots) return nullptr;
    TextWindow& tw = text_window(no);
    return tw.open.load() ? &tw : nullptr;
}

enum class ReadResult { Ok, CannotOpen, NoMemory };

// Reads the log back. Only a regular file is read: something else under the
// log's name (a folder, a pipe) counts as a file that cannot be opened, and
// never blocks or claims a size it does not have.
ReadResult read_whole_file(const std::string& path, std::string& out) {
    int fd = -1;
    if (!plat::open_input_file(path, fd)) return ReadResult::CannotOpen;
    ReadResult r = ReadResult::Ok;
    struct stat st {};
    try {
        out.resize(::fstat(fd, &st) == 0 && st.st_size > 0 ? std::size_t(st.st_size) : 0);
        std::size_t got = 0;
        while (got < out.size()) {
            const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += std::size_t(n);
        }
        out.resize(got);
    } catch (const std::exception&) {  // bad_alloc, or a size beyond what a string holds
        out.clear();
        r = ReadResult::NoMemory;
    }
    ::close(fd);
    return r;
}

// Opens the log for writing ("w" truncates, "a" appends), only as a regular
// file: a pipe or device under the log's name would block or swallow it.
std::FILE* open_log_file(const std::string& path, bool append) {
    const int flags = O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, append ? "a" : "w");
    if (!f) ::close(fd);
    return f;
}

}  // namespace

std::string log_file_path(int no) {
    char name[32];
    std::snprintf(name, sizeof name, "MAVLIB%d%d.LOG", frame().instance, no);
    return plat::sjis_to_utf8(frame().start_dir) + name;
}

void close_log(TextWindow& tw) {
    std::lock_guard lock(tw.m);
    if (tw.log_file) std::fclose(tw.log_file);
    tw.log_file = nullptr;
    tw.log_state = 0;
}

}  // namespace mav

using namespace mav;

int MAV_StartLog(int no) {
    TextWindow* tw = open_window(no);
    if (!tw) return 3;
    {
        std::lock_guard lock(tw->m);
        if (tw->log_state == 1) return 1;
        if (tw->log_state == 2 && tw->log_file) {
            tw->log_state = 1;
            return 0;
        }
        tw->log_file = open_log_file(log_file_path(no), false);
        if (tw->log_file) {
            tw->log_state = 1;
            return 0;
        }
        tw->log_state = 0;
    }
    plat::message_box({}, "Can't create file for LOG!", "Error", plat::MbIcon::Error);
    return 2;
}

int MAV_StopLog(int no) {
    TextWindow* tw = open_window(no);
    if (!tw) return 2;
    std::lock_guard lock(tw->m);
    if (tw->log_state == 0) return 1;
    tw->log_state = 2;
    return 0;
}

void MAV_CloseAllLogs(void) {
    for (int i = 0; i < kTextSlots; ++i) {
        TextWindow& tw = text_window(i);
        if (tw.open.load()) close_log(tw);
    }
}

int MAV_CopyLogToClipboard(int no) {
    TextWindow* tw = open_window(no);
    if (!tw) return 4;
    const std::string path = log_file_path(no);
    std::string contents;
    ReadResult read;
    bool lost_log = false;
    {
        // Held from the flush to the reopening, so that no printed line
        // falls between the two.
        std::lock_guard lock(tw->m);
        bool logging = tw->log_state != 0;
        if (logging && tw->log_file) {
            std::fclose(tw->log_file);
            tw->log_file = nullptr;
        }
        read = read_whole_file(path, contents);
        if (logging) {
            tw->log_file = open_log_file(path, true);
            if (!tw->log_file) {
                // Nowhere to go on writing: the window has no log any more.
                tw->log_state = 0;
                lost_log = true;
            }
        }
    }
    if (read == ReadResult::CannotOpen) {
        MAV_Pause("Can't open LOG file!");
        return 2;
    }
    if (read == ReadResult::NoMemory) {
        MAV_Pause("No enough memory (copy log)");
        return 3;
    }
    try {
        plat::clipboard::set_multibyte_text(contents);
    } catch (const std::exception&) {
        MAV_Pause("No enough memory (copy log)");
        return 3;
    }
    if (lost_log) {
        MAV_Pause("Can't open LOG file!");
        return 2;
    }
    return 0;
}
