#include "shell/script_actions.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "boxes/boxes.h"
#include "image/image_files.h"
#include "plat/base/clock.h"
#include "plat/codecs/codecs.h"
#include "plat/ui/controls.h"
#include "plat/driver/driver.h"
#include "plat/codecs/input_file.h"
#include "plat/core/keys.h"
#include "plat/base/paths.h"
#include "plat/core/window.h"
#include "runtime/commands.h"
#include "runtime/frame_state.h"
#include "runtime/mailbox.h"
#include "shell/main_window.h"

namespace mav::actions {

bool program_exiting() { return frame().quit_state.load() != kQuitRunning; }

namespace {

// A note about an action that still goes on.
void say(const ScriptAction& a, const std::string& what) {
    std::fprintf(stderr, "script: %s: %s\n", a.text.c_str(), what.c_str());
}

// An action that could not be done: the script ends there.
bool fail(const ScriptAction& a, const std::string& what) {
    say(a, what);
    return false;
}


// Whether the waits below also end when the program starts to exit.
enum class UntilExit { Wait, Stop };

// Asks `done` every `step_ms` until it holds (true) or `timeout_ms` has passed
// (false); with UntilExit::Stop also until the program exits (false). `done`
// is asked once more after the last step.
template <typename Done>
bool poll_until(int timeout_ms, int step_ms, Done done, UntilExit until_exit = UntilExit::Wait) {
    double deadline = plat::monotonic_ms() + timeout_ms;
    for (;;) {
        if (done()) return true;
        if (plat::monotonic_ms() >= deadline) return false;
        if (until_exit == UntilExit::Stop && program_exiting()) return false;
        plat::sleep_ms(step_ms);
    }
}

// Waits, as a person waits for the program to react, until its queues are
// idle and it has taken and acted on every button press (programs that poll
// their buttons act between two polls, outside any queue).
bool settle(int timeout_ms) {
    const double deadline = plat::monotonic_ms() + timeout_ms;
    auto left = [&] { return std::max(0, int(deadline - plat::monotonic_ms())); };
    if (!plat::driver::wait_idle(timeout_ms)) return false;
    if (!poll_until(left(), 2, [] { return !button_presses_pending(); }, UntilExit::Stop)) return program_exiting();
    return plat::driver::wait_idle(left());
}

plat::Point middle(const plat::Rect& r) { return {r.left + r.width() / 2, r.top + r.height() / 2}; }

plat::Point main_client_centre() {
    plat::Hwnd mw = main_window();
    plat::Point o = plat::client_origin(mw);
    plat::Rect c = plat::client_rect(mw);
    return {o.x + c.width() / 2, o.y + c.height() / 2};
}

bool take_screenshot(const ScriptAction& a) {
    if (!settle(10000)) say(a, "the program did not settle; capturing anyway");
    std::string path = plat::to_native_path(a.arg);
    std::error_code ec;
    auto parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    plat::IoResult r = plat::save_png(plat::driver::capture_screen(), path);
    if (!r) return fail(a, "cannot save '" + path + "': " + r.message);
    return true;
}

// The image's pixels as MAV_SaveImage would write them. The user thread draws
// into them, so it does the save; a person would wait for the picture first.
bool save_image_file(const ScriptAction& a) {
    if (!settle(10000)) say(a, "the program did not settle; saving anyway");
    const std::string path = plat::to_native_path(a.arg);
    PostedSave r = post_image_save(a.number, path, 10000);
    switch (r.outcome) {
    case PostedSave::Saved:
    case PostedSave::Exiting: return true;
    case PostedSave::NoImage: return fail(a, "no image " + std::to_string(a.number));
    case PostedSave::Failed: return fail(a, "cannot save '" + path + "': " + r.message);
    case PostedSave::NotServed: return fail(a, "the program did not get to it within 10 s");
    }
    return true;
}

// Waits for an item of the open popup menus (the menu opens on the
// program's own thread: give it a moment) and clicks it.
bool click_menu_item(const std::string& text) {
    std::optional<plat::Rect> r;
    if (!poll_until(5000, 5, [&] { return bool(r = plat::driver::open_menu_item(text)); })) return false;
    plat::driver::click(middle(*r));
    return true;
}

// An item of the open menu, or a path through its submenus
// ("Process.../R. Rotate"): each submenu is clicked open in turn. A text
// that names an item as it stands is taken whole, '/' and all.
bool choose_menu_path(const ScriptAction& a) {
    if (a.arg.find('/') == std::string::npos || plat::driver::open_menu_item(a.arg)) {
        if (!click_menu_item(a.arg)) return fail(a, "no open menu has that item");
        return true;
    }
    std::size_t from = 0;
    for (;;) {
        std::size_t slash = a.arg.find('/', from);
        std::string step = a.arg.substr(from, slash == std::string::npos ? std::string::npos : slash - from);
        if (!click_menu_item(step)) return fail(a, "no open menu has the item '" + step + "'");
        if (slash == std::string::npos) return true;
        from = slash + 1;
    }
}

bool choose_menu_item(const ScriptAction& a) {
    if (!choose_menu_path(a)) return false;
    // As a person waits for the menu to close: the chosen command has begun
    // (a pick waits for clicks) before the next action.
    plat::driver::wait_idle(5000);
    return true;
}

// Brings the box to the front when another window covers `target`, as a
// person would before clicking into it.
void uncover(plat::Hwnd box, plat::Hwnd target) {
    if (plat::window_at(middle(plat::window_rect(target))) == target) return;
    plat::set_foreground(box);
    plat::driver::wait_idle(2000);
}

std::string caption_on_one_line(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

// Waits, as a person would, up to 5 s for the program to show what `find`
// looks for (it may still be opening its boxes when the script begins).
template <typename Find>
plat::Hwnd wait_for(Find find) {
    plat::Hwnd found;
    poll_until(5000, 5, [&] { return bool(found = find()); }, UntilExit::Stop);
    return found;
}

plat::Hwnd open_box(const std::atomic<std::uint32_t>& id) {
    plat::Hwnd box{id.load()};
    return plat::is_window(box) ? box : plat::Hwnd{};
}

// A button of the box: a number names it by its number (control id
// 3000 + N), other text by its caption, whose line breaks may be written as
// blanks.
plat::Hwnd find_button(plat::Hwnd box, const std::string& name) {
    char* end = nullptr;
    long n = std::strtol(name.c_str(), &end, 10);
    bool numeric = !name.empty() && *end == '\0';
    const std::vector<plat::Hwnd> buttons = plat::children_of(box);
    if (numeric && n >= 0 && n < kButtonBoxMaxButtons)
        for (plat::Hwnd c : buttons)
            if (plat::control_id(c) == kButtonIdBase + n) return c;
    for (plat::Hwnd c : buttons) {
        std::string caption = plat::window_text(c);
        if (caption == name || caption_on_one_line(caption) == name) return c;
    }
    return {};
}

// Clicks into a control of a box as a person would: waits for `find` to show
// it in the box open now (its id in `box_id`), brings the box to the front if
// the control is covered, and clicks its middle. Says what is missing and
// returns an empty handle when the box or the control is not there.
template <typename Find>
plat::Hwnd click_into_box(const ScriptAction& a, const std::atomic<std::uint32_t>& box_id, Find find,
                          const char* no_box, const char* no_control) {
    plat::Hwnd target = wait_for([&] {
        plat::Hwnd box = open_box(box_id);
        return box ? find(box) : plat::Hwnd{};
    });
    plat::Hwnd box = open_box(box_id);
    const char* missing = !box ? no_box : !target || plat::parent_of(target) != box ? no_control : nullptr;
    if (missing) {
        fail(a, missing);
        return {};
    }
    uncover(box, target);
    plat::driver::click(middle(plat::window_rect(target)));
    return target;
}

bool press_button(const ScriptAction& a) {
    plat::Hwnd target = click_into_box(
        a, windows().button_box, [&](plat::Hwnd box) { return find_button(box, a.arg); }, "no button box is open",
        "no such button");
    if (!target) return false;
    // The next action's keys go where the focus is after the click (back in the box).
    plat::driver::wait_idle(5000);
    return true;
}

std::vector<plat::Hwnd> fields_of(plat::Hwnd box) {
    std::vector<plat::Hwnd> fields;
    if (!box) return fields;
    for (plat::Hwnd c : plat::children_of(box))
        if (plat::is_edit(c)) fields.push_back(c);
    return fields;
}

// Enters text into a field of the input box as a person would: click into
// it, select what it holds, type over it and press Enter.
bool fill_field(const ScriptAction& a) {
    plat::Hwnd field = click_into_box(
        a, windows().input_box,
        [&](plat::Hwnd box) {
            std::vector<plat::Hwnd> fields = fields_of(box);
            return a.number < int(fields.size()) ? fields[std::size_t(a.number)] : plat::Hwnd{};
        },
        "no input box is open", "the input box has no such field");
    if (!field) return false;
    // Keys go where the focus is when they are pressed: wait for the click to land.
    if (!poll_until(5000, 2, [&] { return plat::focus_window() == field; }))
        return fail(a, "the field did not take the focus");
    plat::driver::press_key(plat::key::Home);
    plat::driver::press_key(plat::key::End, false, true);
    if (a.arg.empty())
        plat::driver::press_key(plat::key::Delete);
    else
        plat::driver::type_text(a.arg);
    plat::driver::press_key(plat::key::Enter);
    plat::driver::wait_idle(5000);
    return true;
}

bool drop_file(const ScriptAction& a) {
    std::string path = plat::to_native_path(a.arg);
    std::error_code ec;
    std::string full = std::filesystem::absolute(path, ec).string();
    if (ec) full = path;
    // Only files are dropped: a directory, a FIFO or a device is refused here, with the reason.
    if (plat::IoResult r = plat::check_input_file(full); !r) return fail(a, "'" + path + "': " + r.message);
    if (!plat::driver::drop_files(main_client_centre(), {full})) return fail(a, "the main window takes no drops now");
    return true;
}

}  // namespace

bool start(const ScriptAction&) {
    // As a person would, Start waits until a run that was told to stop has ended:
    // Start while the program still runs is ignored. A Stop just sent is taken first.
    plat::driver::wait_idle(10000);
    poll_until(5000, 2, [] { return !(frame().running.load() && frame().stop_flag.load()); }, UntilExit::Stop);
    post_main_command(kCmdStart);
    return true;
}

bool stop(const ScriptAction&) {
    post_main_command(kCmdStop);
    return true;
}

bool exit(const ScriptAction&) {
    post_main_command(kCmdExit);
    return true;
}

bool key(const ScriptAction& a) {
    plat::KeyChord k;
    plat::parse_key_chord(a.arg.c_str(), k);
    plat::driver::press_key(k.code, k.ctrl, k.shift);
    return true;
}

bool type(const ScriptAction& a) {
    plat::driver::type_text(a.arg);
    return true;
}

bool wait(const ScriptAction& a) {
    // In slices, so that a program that exits meanwhile is not kept waiting.
    poll_until(a.number, 5, [] { return false; }, UntilExit::Stop);
    return true;
}

bool idle(const ScriptAction& a) {
    if (!settle(10000)) say(a, "the program did not settle within 10 s");
    return true;
}

bool wait_input(const ScriptAction& a) {
    // Typing before the program asks for a line would lose the keys.
    if (!poll_until(10000, 2, [] { return frame().input_pending.load() != 0; }, UntilExit::Stop))
        return program_exiting() || fail(a, "no line input started within 10 s");
    plat::driver::wait_idle(10000);
    return true;
}

bool screenshot(const ScriptAction& a) { return take_screenshot(a); }
bool save_image(const ScriptAction& a) { return save_image_file(a); }
bool drop(const ScriptAction& a) { return drop_file(a); }
bool button(const ScriptAction& a) { return press_button(a); }
bool field(const ScriptAction& a) { return fill_field(a); }

bool click(const ScriptAction& a) {
    plat::driver::click({a.x, a.y});
    return true;
}

bool rclick(const ScriptAction& a) {
    plat::driver::click({a.x, a.y}, plat::MouseButton::Right);
    return true;
}

bool mclick(const ScriptAction& a) {
    plat::driver::click({a.x, a.y}, plat::MouseButton::Middle);
    return true;
}

bool move(const ScriptAction& a) {
    plat::driver::move_mouse({a.x, a.y});
    return true;
}

bool menu(const ScriptAction& a) { return choose_menu_item(a); }

bool answer_dialog(const ScriptAction& a) {
    if (!plat::driver::wait_dialog_answers_taken(10000)) return fail(a, "no dialog opened to take the answer");
    return true;
}

void wait_for_setup() {
    poll_until(30000, 2, [] { return frame().setup_done.load(); }, UntilExit::Stop);
}

}  // namespace mav::actions
