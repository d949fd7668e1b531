#include "shell/entry.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include "boxes/boxes.h"
#include "image/image_window_internals.h"
#include "plat/capture/capture.h"
#include "plat/base/clock.h"
#include "plat/base/codepage.h"
#include "plat/ui/dialogs.h"
#include "plat/base/instance.h"
#include "plat/platform.h"
#include "plat/core/window.h"
#include "runtime/commands.h"
#include "runtime/frame_state.h"
#include "runtime/status_line.h"
#include "shell/library_classes.h"
#include "shell/main_window.h"
#include "shell/options.h"
#include "shell/script.h"
#include "shell/stop_signals.h"
#include "shell/user_thread.h"
#include "text/text_window.h"

int mav_entry(int argc, char** argv) { return mav::run_entry(argc, argv); }

namespace mav {

namespace {

std::string program_name(const char* argv0) {
    std::string n = argv0 ? std::filesystem::path(argv0).filename().string() : "";
    return n.empty() ? "mavlib" : n;
}

std::string current_dir_sjis() {
    std::error_code ec;
    std::string cwd = std::filesystem::current_path(ec).string();
    std::string s = plat::utf8_to_sjis(cwd);
    if (s.size() > 259) s.resize(259);  // 260-character buffers
    return s;
}

bool register_classes(int instance) {
    if (!register_main_window_class(instance)) return false;
    if (!register_library_classes()) return false;
    register_text_requests();
    register_box_requests();
    register_image_requests();
    return true;
}

// What the process exits with: the program's code; but a batch run, or a
// headless script whose actions were not all taken, that a signal ended
// before the program said how it went is not done: 3, and a line that says
// so. (On a display the person at the screen carries on after a script, and
// a signal ends the session as Exit does.)
int exit_code_after(const std::string& name, bool headless_script) {
    FrameState& f = frame();
    const int code = f.exit_code.load();
    const int signal = stop_signal();
    const bool unfinished = f.batch_run.load() || (headless_script && !f.script_finished.load());
    if (signal == 0 || code != 0 || f.exit_code_given.load() || !unfinished) return code;
    std::fprintf(stderr, "%s: ended by %s before its work was done\n", name.c_str(), stop_signal_name(signal));
    return 3;
}

}  // namespace

int run_entry(int argc, char** argv) {
    const StopSignals signals;  // first of all: from here on a signal ends the program through Exit
    const std::string name = program_name(argc > 0 ? argv[0] : nullptr);
    LibraryOptions opts;
    ParseResult parsed = parse_command_line(argc, argv, opts);
    if (!parsed.ok) {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), parsed.error.c_str());
        return 2;
    }
    if (opts.version) {
        std::printf("%s (mavlib) %s\n", name.c_str(), MAV_VERSION);
        return 0;
    }
    if (opts.help) {
        std::fputs(usage_text(name.c_str()).c_str(), stdout);
        return 0;
    }
    ScriptParse script;
    if (opts.has_script) {
        script = parse_script(opts.script_text);
        if (!script.ok) {
            std::fprintf(stderr, "%s: %s: %s\n", name.c_str(), opts.script_source.c_str(), script.error.c_str());
            return 2;
        }
    }
    set_program_values(opts.program_values);
    if (!opts.camera_source.empty() || opts.virtual_cameras >= 0) {
        std::string why;
        if (!opts.camera_source.empty() && !plat::capture::camera_source_usable(opts.camera_source, why)) {
            std::fprintf(stderr, "%s: --camera-source: %s\n", name.c_str(), why.c_str());
            return 2;
        }
        plat::capture::use_virtual_cameras(opts.virtual_cameras >= 0 ? opts.virtual_cameras : 2, opts.camera_source);
    }

    const char* display = std::getenv("DISPLAY");
    plat::PlatformOptions po;
    po.headless = opts.headless || !display || !*display;
    po.screen = opts.screen;
    std::string error;
    if (!plat::init_platform(po, error)) {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), error.c_str());
        return 1;
    }

    FrameState& f = frame();
    // 1. The instance number: the lowest of ten slots that no process holds.
    std::optional<plat::InstanceSlot> slot = plat::claim_instance_slot("mavlib_mw", kMaxInstances);
    if (!slot) {
        plat::message_box({}, "Over instance limit!", "MAVLIB");
        plat::shutdown_platform();
        return 1;
    }
    f.instance = slot->index();

    // 3. The millisecond period of the performance counter.
    f.ms_period = 1000.0 / double(plat::perf_frequency());

    // 5. Directories.
    f.open_dir = current_dir_sjis();
    f.save_dir = f.open_dir;
    f.start_dir = f.open_dir;
    if (f.start_dir.empty() || f.start_dir.back() != '/') f.start_dir += '/';

    // 6. Window classes.
    if (!register_classes(f.instance)) {
        plat::shutdown_platform();
        return 1;
    }

    f.batch_run = opts.batch;
    // 7-8. The main window; its creation drops it in and starts the user thread.
    plat::Hwnd mw = create_main_window(f.instance, name);
    if (!mw) {
        plat::shutdown_platform();
        return 1;
    }
    stop_signals_main_window_ready();

    // 9. Status, drops, and on to the loop.
    show_depth_status();
    plat::enable_file_drops(mw, true);
    plat::update_window(mw);

    std::thread script_thread;
    std::atomic<bool> script_done{true};
    if (opts.has_script)
        script_thread = std::thread([actions = script.actions, &script_done] { script_done = run_script(actions); });

    // 10. The window thread's message loop.
    plat::Message m;
    while (plat::get_message(m)) {
        plat::translate_message(m);
        plat::dispatch_message(m);
    }

    // 11. Leave.
    if (script_thread.joinable()) script_thread.join();
    // A script that stopped at an action it could not do: partly done,
    // unless the program itself ended with a failure of its own.
    if (!script_done.load() && f.exit_code.load() == 0) f.exit_code = 3;
    plat::shutdown_platform();
    const int code = exit_code_after(name, opts.has_script && po.headless);
    if (user_thread_abandoned()) {
        // The user thread is still running the program's code: end the process
        // without running destructors under its feet.
        std::fflush(nullptr);
        _exit(code);
    }
    return code;
}

}  // namespace mav
