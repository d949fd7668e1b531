#include "shell/script.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "boxes/boxes.h"
#include "image/image_files.h"
#include "plat/clock.h"
#include "plat/codecs.h"
#include "plat/controls.h"
#include "plat/driver.h"
#include "plat/input_file.h"
#include "plat/keys.h"
#include "plat/paths.h"
#include "plat/platform.h"
#include "plat/window.h"
#include "runtime/commands.h"
#include "runtime/frame_state.h"
#include "runtime/mailbox.h"
#include "shell/main_window.h"

namespace mav {

namespace {

std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

std::string unquote(const std::string& s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return s;
}

// Splits on ';' and new lines outside double quotes.
std::vector<std::string> split_actions(const std::string& text) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false;
    bool comment = false;
    for (char c : text) {
        if (comment) {
            if (c == '\n') comment = false;
            else continue;
        }
        if (c == '"') quoted = !quoted;
        if (!quoted && (c == ';' || c == '\n')) {
            out.push_back(cur);
            cur.clear();
            continue;
        }
        if (!quoted && c == '#' && trim(cur).empty()) {
            comment = true;
            continue;
        }
        cur += c;
    }
    out.push_back(cur);
    return out;
}

// A note about an action that still goes on.
void say(const ScriptAction& a, const std::string& what) {
    std::fprintf(stderr, "script: %s: %s\n", a.text.c_str(), what.c_str());
}

// An action that could not be done: the script ends there.
bool fail(const ScriptAction& a, const std::string& what) {
    say(a, what);
    return false;
}

bool program_exiting() { return frame().quit_state.load() != kQuitRunning; }

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

// Does one action; false when it could not be done (said on stderr).
bool run_action(const ScriptAction& a) {
    switch (a.kind) {
    case ScriptAction::Start:
        // As a person would, Start waits until a run that was told to stop has ended:
        // Start while the program still runs is ignored. A Stop just sent is taken first.
        plat::driver::wait_idle(10000);
        poll_until(5000, 2, [] { return !(frame().running.load() && frame().stop_flag.load()); }, UntilExit::Stop);
        post_main_command(kCmdStart);
        return true;
    case ScriptAction::Stop: post_main_command(kCmdStop); return true;
    case ScriptAction::Exit: post_main_command(kCmdExit); return true;
    case ScriptAction::Key: {
        plat::KeyChord k;
        plat::parse_key_chord(a.arg.c_str(), k);
        plat::driver::press_key(k.code, k.ctrl, k.shift);
        return true;
    }
    case ScriptAction::Type: plat::driver::type_text(a.arg); return true;
    case ScriptAction::Wait:
        // In slices, so that a program that exits meanwhile is not kept waiting.
        poll_until(a.number, 5, [] { return false; }, UntilExit::Stop);
        return true;
    case ScriptAction::Idle:
        if (!settle(10000)) say(a, "the program did not settle within 10 s");
        return true;
    case ScriptAction::WaitInput:
        // Typing before the program asks for a line would lose the keys.
        if (!poll_until(10000, 2, [] { return frame().input_pending.load() != 0; }, UntilExit::Stop))
            return program_exiting() || fail(a, "no line input started within 10 s");
        plat::driver::wait_idle(10000);
        return true;
    case ScriptAction::Screenshot: return take_screenshot(a);
    case ScriptAction::SaveImage: return save_image_file(a);
    case ScriptAction::Drop: return drop_file(a);
    case ScriptAction::Button: return press_button(a);
    case ScriptAction::Field: return fill_field(a);
    case ScriptAction::Click: plat::driver::click({a.x, a.y}); return true;
    case ScriptAction::RClick: plat::driver::click({a.x, a.y}, plat::MouseButton::Right); return true;
    case ScriptAction::MClick: plat::driver::click({a.x, a.y}, plat::MouseButton::Middle); return true;
    case ScriptAction::Move: plat::driver::move_mouse({a.x, a.y}); return true;
    case ScriptAction::Menu: return choose_menu_item(a);
    case ScriptAction::AnswerDialog:
        if (!plat::driver::wait_dialog_answers_taken(10000)) return fail(a, "no dialog opened to take the answer");
        return true;
    }
    return true;
}

}  // namespace

ScriptParse parse_script(const std::string& text) {
    ScriptParse out;
    for (const std::string& raw : split_actions(text)) {
        std::string s = trim(raw);
        if (s.empty()) continue;
        auto sp = s.find_first_of(" \t");
        std::string verb = s.substr(0, sp);
        std::string arg = sp == std::string::npos ? std::string() : unquote(trim(s.substr(sp + 1)));
        ScriptAction a;
        a.text = s;
        a.arg = arg;
        auto need_arg = [&](const char* what) {
            if (!arg.empty()) return true;
            out.ok = false;
            out.error = "action '" + verb + "' needs " + what;
            return false;
        };
        auto no_arg = [&]() {
            if (arg.empty()) return true;
            out.ok = false;
            out.error = "action '" + verb + "' takes no argument";
            return false;
        };
        if (verb == "start") { a.kind = ScriptAction::Start; if (!no_arg()) return out; }
        else if (verb == "stop") { a.kind = ScriptAction::Stop; if (!no_arg()) return out; }
        else if (verb == "exit") { a.kind = ScriptAction::Exit; if (!no_arg()) return out; }
        else if (verb == "idle") { a.kind = ScriptAction::Idle; if (!no_arg()) return out; }
        else if (verb == "wait-input") { a.kind = ScriptAction::WaitInput; if (!no_arg()) return out; }
        else if (verb == "key") {
            a.kind = ScriptAction::Key;
            if (!need_arg("a key name")) return out;
            plat::KeyChord k;
            if (!plat::parse_key_chord(arg.c_str(), k)) {
                out.ok = false;
                out.error = "unknown key '" + arg + "'";
                return out;
            }
        } else if (verb == "type") {
            a.kind = ScriptAction::Type;
            if (!need_arg("text")) return out;
        } else if (verb == "wait") {
            a.kind = ScriptAction::Wait;
            char* end = nullptr;
            long ms = std::strtol(arg.c_str(), &end, 10);
            if (arg.empty() || *end != '\0' || ms < 0 || ms > 3600000) {
                out.ok = false;
                out.error = "wait needs milliseconds from 0 to 3600000, not '" + arg + "'";
                return out;
            }
            a.number = int(ms);
        } else if (verb == "screenshot") {
            a.kind = ScriptAction::Screenshot;
            if (!need_arg("a file name")) return out;
        } else if (verb == "save-image") {
            // save-image N FILE: the file name may be quoted.
            a.kind = ScriptAction::SaveImage;
            std::string rest = sp == std::string::npos ? std::string() : trim(s.substr(sp + 1));
            char* end = nullptr;
            long n = std::strtol(rest.c_str(), &end, 10);
            std::string file = unquote(trim(std::string(end)));
            if (rest.empty() || !std::isdigit(static_cast<unsigned char>(rest[0])) ||
                !std::isspace(static_cast<unsigned char>(*end)) || n >= kImageSlots || file.empty()) {
                out.ok = false;
                out.error = "save-image needs an image number from 0 to " + std::to_string(kImageSlots - 1) +
                            " and a file name, not '" + rest + "'";
                return out;
            }
            a.number = int(n);
            a.arg = file;
        } else if (verb == "drop") {
            a.kind = ScriptAction::Drop;
            if (!need_arg("a file name")) return out;
        } else if (verb == "button") {
            a.kind = ScriptAction::Button;
            if (!need_arg("a number or caption")) return out;
        } else if (verb == "field") {
            // field N TEXT: the text may be quoted, and may be left out to empty the field.
            a.kind = ScriptAction::Field;
            std::string rest = sp == std::string::npos ? std::string() : trim(s.substr(sp + 1));
            char* end = nullptr;
            long n = std::strtol(rest.c_str(), &end, 10);
            if (rest.empty() || end == rest.c_str() || (*end != '\0' && !std::isspace(static_cast<unsigned char>(*end))) ||
                n < 0 || n >= kInputBoxMaxItems) {
                out.ok = false;
                out.error = "field needs a field number from 0 to " + std::to_string(kInputBoxMaxItems - 1) +
                            " and the text, not '" + rest + "'";
                return out;
            }
            a.number = int(n);
            a.arg = unquote(trim(std::string(end)));
        } else if (verb == "click" || verb == "rclick" || verb == "mclick" || verb == "move") {
            a.kind = verb == "click"    ? ScriptAction::Click
                     : verb == "rclick" ? ScriptAction::RClick
                     : verb == "mclick" ? ScriptAction::MClick
                                        : ScriptAction::Move;
            char* end = nullptr;
            long x = std::strtol(arg.c_str(), &end, 10);
            char* end2 = nullptr;
            long y = end && *end ? std::strtol(end, &end2, 10) : 0;
            if (arg.empty() || end == arg.c_str() || !end2 || end2 == end || *end2 != '\0' || x < -100000 ||
                x > 100000 || y < -100000 || y > 100000) {
                out.ok = false;
                out.error = verb + " needs screen coordinates X Y, not '" + arg + "'";
                return out;
            }
            a.x = int(x);
            a.y = int(y);
        } else if (verb == "menu") {
            a.kind = ScriptAction::Menu;
            if (!need_arg("the text of a menu item, or a path of items separated by '/'")) return out;
        } else if (verb == "answer-dialog") {
            a.kind = ScriptAction::AnswerDialog;
            if (!need_arg("a path or 'cancel'")) return out;
        } else {
            out.ok = false;
            out.error = "unknown action '" + verb + "'";
            return out;
        }
        out.actions.push_back(a);
    }
    return out;
}

bool run_script(const std::vector<ScriptAction>& actions) {
    plat::driver::set_busy_check(&requests_in_progress);
    // A person waits for the program to finish setting up before acting.
    poll_until(30000, 2, [] { return frame().setup_done.load(); }, UntilExit::Stop);
    for (std::size_t i = 0; i < actions.size(); ++i) {
        const ScriptAction& a = actions[i];
        if (program_exiting()) return true;
        // A dialog the action opens must find its answer already waiting.
        if (i + 1 < actions.size() && actions[i + 1].kind == ScriptAction::AnswerDialog) {
            const std::string& ans = actions[i + 1].arg;
            plat::driver::DialogAnswer d;
            d.cancel = ans == "cancel";
            // Raw: the file dialogs map Windows-style names themselves, and
            // the colour and font dialogs read the text as it was written.
            if (!d.cancel) d.path = ans;
            plat::driver::queue_dialog_answer(d);
        }
        if (!run_action(a)) {
            // The rest would act on a program in an unknown state. Headless,
            // the program ends as Exit ends it; on a display the person
            // at the screen carries on.
            if (plat::is_headless()) post_main_command(kCmdExit);
            return false;
        }
        if (a.kind == ScriptAction::Exit) {
            frame().script_finished = true;
            return true;
        }
    }
    // All taken, unless the program's end cut the last one short.
    if (!program_exiting()) frame().script_finished = true;
    // Headless, nobody is left to end the program; on a display the person
    // at the screen carries on from here.
    if (plat::is_headless()) {
        plat::driver::wait_idle(10000);
        post_main_command(kCmdExit);
    }
    return true;
}

}  // namespace mav
