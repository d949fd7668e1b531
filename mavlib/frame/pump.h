// Message pumping shared by the user thread and program code.
#pragma once

#include "plat/messages.h"

namespace mav {

// Dialog-key handling for the input box and the button box: given a message
// for one of them (or their controls), returns true when it consumed it.
using DialogKeyHook = bool (*)(plat::Message& msg);
void set_dialog_key_hook(DialogKeyHook hook);

}  // namespace mav
