#include "shell/script_verbs.h"

#include <array>
#include <cctype>
#include <cstdlib>

#include "boxes/boxes.h"
#include "plat/core/keys.h"
#include "runtime/frame_state.h"
#include "shell/script_actions.h"

namespace mav {

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

namespace {

std::string no_argument(const ScriptVerb&, const ScriptArgs& in, ScriptAction&) {
    return in.arg.empty() ? std::string() : "action '" + in.verb + "' takes no argument";
}

std::string some_text(const ScriptVerb& v, const ScriptArgs& in, ScriptAction&) {
    return in.arg.empty() ? "action '" + in.verb + "' needs " + v.needs : std::string();
}

std::string key_name(const ScriptVerb& v, const ScriptArgs& in, ScriptAction& a) {
    if (std::string e = some_text(v, in, a); !e.empty()) return e;
    plat::KeyChord k;
    if (!plat::parse_key_chord(in.arg.c_str(), k)) return "unknown key '" + in.arg + "'";
    return {};
}

std::string milliseconds(const ScriptVerb&, const ScriptArgs& in, ScriptAction& a) {
    char* end = nullptr;
    long ms = std::strtol(in.arg.c_str(), &end, 10);
    if (in.arg.empty() || *end != '\0' || ms < 0 || ms > 3600000)
        return "wait needs milliseconds from 0 to 3600000, not '" + in.arg + "'";
    a.number = int(ms);
    return {};
}

// save-image N FILE: the file name may be quoted.
std::string image_and_file(const ScriptVerb&, const ScriptArgs& in, ScriptAction& a) {
    const std::string& rest = in.rest;
    char* end = nullptr;
    long n = std::strtol(rest.c_str(), &end, 10);
    std::string file = unquote(trim(std::string(end)));
    if (rest.empty() || !std::isdigit(static_cast<unsigned char>(rest[0])) ||
        !std::isspace(static_cast<unsigned char>(*end)) || n >= kImageSlots || file.empty())
        return "save-image needs an image number from 0 to " + std::to_string(kImageSlots - 1) +
               " and a file name, not '" + rest + "'";
    a.number = int(n);
    a.arg = file;
    return {};
}

// field N TEXT: the text may be quoted, and may be left out to empty the field.
std::string field_and_text(const ScriptVerb&, const ScriptArgs& in, ScriptAction& a) {
    const std::string& rest = in.rest;
    char* end = nullptr;
    long n = std::strtol(rest.c_str(), &end, 10);
    if (rest.empty() || end == rest.c_str() || (*end != '\0' && !std::isspace(static_cast<unsigned char>(*end))) ||
        n < 0 || n >= kInputBoxMaxItems)
        return "field needs a field number from 0 to " + std::to_string(kInputBoxMaxItems - 1) +
               " and the text, not '" + rest + "'";
    a.number = int(n);
    a.arg = unquote(trim(std::string(end)));
    return {};
}

std::string screen_point(const ScriptVerb&, const ScriptArgs& in, ScriptAction& a) {
    const std::string& arg = in.arg;
    char* end = nullptr;
    long x = std::strtol(arg.c_str(), &end, 10);
    char* end2 = nullptr;
    long y = end && *end ? std::strtol(end, &end2, 10) : 0;
    if (arg.empty() || end == arg.c_str() || !end2 || end2 == end || *end2 != '\0' || x < -100000 || x > 100000 ||
        y < -100000 || y > 100000)
        return in.verb + " needs screen coordinates X Y, not '" + arg + "'";
    a.x = int(x);
    a.y = int(y);
    return {};
}

using K = ScriptAction;

// In the order --help lists them.
constexpr std::array kVerbs{
    ScriptVerb{"start", K::Start, no_argument, nullptr, actions::start, "start"},
    ScriptVerb{"stop", K::Stop, no_argument, nullptr, actions::stop, "stop"},
    ScriptVerb{"exit", K::Exit, no_argument, nullptr, actions::exit, "exit"},
    ScriptVerb{"key", K::Key, key_name, "a key name", actions::key, "key K (S, Esc, Ctrl+V, Down, ...)"},
    ScriptVerb{"type", K::Type, some_text, "text", actions::type, "type TEXT"},
    ScriptVerb{"click", K::Click, screen_point, nullptr, actions::click, "click X Y"},
    ScriptVerb{"rclick", K::RClick, screen_point, nullptr, actions::rclick, "rclick X Y"},
    ScriptVerb{"mclick", K::MClick, screen_point, nullptr, actions::mclick,
               "mclick X Y (left, right, middle button at a screen point)"},
    ScriptVerb{"move", K::Move, screen_point, nullptr, actions::move, "move X Y (the mouse to a screen point)"},
    ScriptVerb{"menu", K::Menu, some_text, "the text of a menu item, or a path of items separated by '/'",
               actions::menu,
               "menu TEXT (an item of the open popup menu, or a path through its submenus: "
               "menu \"Process.../R. Rotate\")"},
    ScriptVerb{"wait", K::Wait, milliseconds, nullptr, actions::wait, "wait MS"},
    ScriptVerb{"idle", K::Idle, no_argument, nullptr, actions::idle, "idle"},
    ScriptVerb{"wait-input", K::WaitInput, no_argument, nullptr, actions::wait_input,
               "wait-input (until a text window waits for a typed line)"},
    ScriptVerb{"screenshot", K::Screenshot, some_text, "a file name", actions::screenshot, "screenshot FILE.png"},
    ScriptVerb{"save-image", K::SaveImage, image_and_file, nullptr, actions::save_image,
               "save-image N FILE.png (image window N's pixels)"},
    ScriptVerb{"drop", K::Drop, some_text, "a file name", actions::drop, "drop FILE"},
    ScriptVerb{"button", K::Button, some_text, "a number or caption", actions::button, "button N|CAPTION"},
    ScriptVerb{"field", K::Field, field_and_text, nullptr, actions::field, "field N TEXT"},
    ScriptVerb{"answer-dialog", K::AnswerDialog, some_text, "a path or 'cancel'", actions::answer_dialog,
               "answer-dialog PATH|cancel (answers the dialog the previous action opens)"},
};

}  // namespace

std::span<const ScriptVerb> script_verbs() { return kVerbs; }

const ScriptVerb* find_script_verb(std::string_view name) {
    for (const ScriptVerb& v : kVerbs)
        if (name == v.name) return &v;
    return nullptr;
}

const ScriptVerb& script_verb(ScriptAction::Kind kind) {
    for (const ScriptVerb& v : kVerbs)
        if (v.kind == kind) return v;
    return kVerbs[0];  // every kind has its verb (checked by the tests)
}

}  // namespace mav
