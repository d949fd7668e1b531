// What each script action does at the screen, one call per verb. Each
// returns false when the action could not be done (said on stderr); the
// verb table (script_verbs.h) names them.
#pragma once

#include "shell/script.h"

namespace mav::actions {

bool start(const ScriptAction& a);
bool stop(const ScriptAction& a);
bool exit(const ScriptAction& a);
bool key(const ScriptAction& a);
bool type(const ScriptAction& a);
bool wait(const ScriptAction& a);
bool idle(const ScriptAction& a);
bool wait_input(const ScriptAction& a);
bool screenshot(const ScriptAction& a);
bool save_image(const ScriptAction& a);
bool drop(const ScriptAction& a);
bool button(const ScriptAction& a);
bool field(const ScriptAction& a);
bool click(const ScriptAction& a);
bool rclick(const ScriptAction& a);
bool mclick(const ScriptAction& a);
bool move(const ScriptAction& a);
bool menu(const ScriptAction& a);
bool answer_dialog(const ScriptAction& a);

// Whether the program has begun to exit.
bool program_exiting();
// Waits, as a person does, up to 30 s for the program to finish setting up.
void wait_for_setup();

}  // namespace mav::actions
