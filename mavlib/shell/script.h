// Scripted user actions (--do, --script): a short list of things a person
// would do at the screen, run against the program from a thread of its own.
#pragma once

#include <string>
#include <vector>

namespace mav {

struct ScriptAction {
    enum Kind { Start, Stop, Exit, Key, Type, Wait, Idle, WaitInput, Screenshot, Drop, Button, AnswerDialog, Click, RClick, MClick, Move, Menu, Field, SaveImage };
    Kind kind = Start;
    std::string arg;  // field: the text to enter; save-image: the file
    int number = 0;  // wait: milliseconds; field: the field's row; save-image: the image
    int x = 0, y = 0;  // click, rclick: screen position
    std::string text;  // as written, for messages
};

struct ScriptParse {
    bool ok = true;
    std::string error;
    std::vector<ScriptAction> actions;
};

// Actions are separated by ';' or new lines; '#' starts a comment line.
// Arguments may be quoted with double quotes.
ScriptParse parse_script(const std::string& text);

// Runs the actions in order. When they are done and none of them was exit,
// the program exits (a headless run never waits for a person). An action
// that cannot be done is said on stderr and ends the script there (headless:
// the program too, through Exit); the result is then false.
bool run_script(const std::vector<ScriptAction>& actions);

// The list of actions for --help, wrapped to the terminal's 80 columns.
std::string script_actions_help();

}  // namespace mav
