// Logging a text window into a file, and copying that file to the clipboard.
// The log fields live in the text window record under its lock: the window
// thread prints and closes logs while the user thread runs these calls.
#include "tools/text_log.h"

#include <cstdio>
#include <new>
#include <string>

#include "frame/frame_state.h"
#include "mavlib.h"
#include "plat/clipboard.h"
#include "plat/codepage.h"
#include "plat/dialogs.h"
#include "text/text_window.h"

namespace mav {

namespace {

TextWindow* open_window(int no) {
    if (no < 0 || no >= kTextSlots) return nullptr;
    TextWindow& tw = text_window(no);
    return tw.open.load() ? &tw : nullptr;
}

enum class ReadResult { Ok, CannotOpen, NoMemory };

ReadResult read_whole_file(const std::string& path, std::string& out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return ReadResult::CannotOpen;
    ReadResult r = ReadResult::Ok;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) {
        r = ReadResult::CannotOpen;
    } else {
        try {
            out.resize(std::size_t(size));
            out.resize(std::fread(out.data(), 1, out.size(), f));
        } catch (const std::bad_alloc&) {
            out.clear();
            r = ReadResult::NoMemory;
        }
    }
    std::fclose(f);
    return r;
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
        tw->log_file = std::fopen(log_file_path(no).c_str(), "w");
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
            tw->log_file = std::fopen(path.c_str(), "a");
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
    } catch (const std::bad_alloc&) {
        MAV_Pause("No enough memory (copy log)");
        return 3;
    }
    if (lost_log) {
        MAV_Pause("Can't open LOG file!");
        return 2;
    }
    return 0;
}
