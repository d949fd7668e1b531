// The script's verbs in one table: each verb's name, how its argument is
// read, what it does and its line in --help. The parser, the runner and the
// help text all read this table.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "shell/script.h"

namespace mav {

// An action's words after the verb: `arg` trimmed and unquoted, `rest`
// only trimmed (for verbs that take a number and a quoted text).
struct ScriptArgs {
    std::string verb;
    std::string arg;
    std::string rest;
};

struct ScriptVerb;
// Reads the argument into the action; returns the error, empty when none.
using ScriptArgParser = std::string (*)(const ScriptVerb& verb, const ScriptArgs& args, ScriptAction& a);
using ScriptRunner = bool (*)(const ScriptAction& a);

struct ScriptVerb {
    const char* name;
    ScriptAction::Kind kind;
    ScriptArgParser parse;
    // What a required argument is, for the message when it is missing.
    const char* needs;
    ScriptRunner run;
    // Its part of the help's list of actions.
    const char* help;
};

std::span<const ScriptVerb> script_verbs();
// Without the blanks at either end; without the double quotes around it.
std::string trim(const std::string& s);
std::string unquote(const std::string& s);
// nullptr when no verb has that name.
const ScriptVerb* find_script_verb(std::string_view name);
const ScriptVerb& script_verb(ScriptAction::Kind kind);

}  // namespace mav
