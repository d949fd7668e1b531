#include "shell/script.h"

#include <algorithm>

#include "plat/driver/driver.h"
#include "plat/platform.h"
#include "runtime/commands.h"
#include "runtime/frame_state.h"
#include "runtime/mailbox.h"
#include "shell/main_window.h"
#include "shell/script_actions.h"
#include "shell/script_verbs.h"

namespace mav {

namespace {

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

constexpr std::size_t kHelpWidth = 78;

// Adds `text` to the last line of `out`, after a blank, or on a new indented
// line when it would run past kHelpWidth.
void add_to_help(std::string& out, const std::string& text) {
    const std::size_t line = out.rfind('\n') + 1;  // npos + 1 == 0
    if (out.size() + 1 + text.size() - line > kHelpWidth) out += "\n  ";
    else out += ' ';
    out += text;
}

}  // namespace

ScriptParse parse_script(const std::string& text) {
    ScriptParse out;
    for (const std::string& raw : split_actions(text)) {
        std::string s = trim(raw);
        if (s.empty()) continue;
        auto sp = s.find_first_of(" \t");
        ScriptArgs args;
        args.verb = s.substr(0, sp);
        args.rest = sp == std::string::npos ? std::string() : trim(s.substr(sp + 1));
        args.arg = unquote(args.rest);
        const ScriptVerb* verb = find_script_verb(args.verb);
        if (!verb) {
            out.ok = false;
            out.error = "unknown action '" + args.verb + "'";
            return out;
        }
        ScriptAction a;
        a.kind = verb->kind;
        a.text = s;
        a.arg = args.arg;
        if (std::string error = verb->parse(*verb, args, a); !error.empty()) {
            out.ok = false;
            out.error = error;
            return out;
        }
        out.actions.push_back(a);
    }
    return out;
}

bool run_script(const std::vector<ScriptAction>& actions) {
    plat::driver::set_busy_check(&requests_in_progress);
    actions::wait_for_setup();
    for (std::size_t i = 0; i < actions.size(); ++i) {
        const ScriptAction& a = actions[i];
        if (actions::program_exiting()) return true;
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
        if (!script_verb(a.kind).run(a)) {
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
    if (!actions::program_exiting()) frame().script_finished = true;
    // Headless, nobody is left to end the program; on a display the person
    // at the screen carries on from here.
    if (plat::is_headless()) {
        plat::driver::wait_idle(10000);
        post_main_command(kCmdExit);
    }
    return true;
}

std::string script_actions_help() {
    // Each action stays on one line where it fits; a longer one is wrapped
    // between its words.
    std::string out = "Actions:";
    const auto verbs = script_verbs();
    for (std::size_t i = 0; i < verbs.size(); ++i) {
        std::string item = verbs[i].help;
        item += i + 1 < verbs.size() ? "," : ".";
        if (item.size() + 2 <= kHelpWidth) {
            add_to_help(out, item);
            continue;
        }
        for (std::size_t from = 0; from < item.size();) {
            std::size_t blank = std::min(item.find(' ', from), item.size());
            add_to_help(out, item.substr(from, blank - from));
            from = blank + 1;
        }
    }
    return out + "\n  A headless run ends with Exit when its actions are done.\n";
}

}  // namespace mav
