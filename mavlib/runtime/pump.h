// Message pumping shared by the user thread and program code.
#pragma once

#include "plat/core/messages.h"

namespace mav {

// Dialog-key handling for the input box and the button box: given a message
// for one of them (or their controls), returns true when it consumed it.
using DialogKeyHook = bool (*)(plat::Message& msg);
void set_dialog_key_hook(DialogKeyHook hook);

// Handles the next message of the calling thread's queue, as MAV_PumpMessages
// does with each: Empty when there was none, Quit when it was a quit (put
// back for the loop that waits for it).
enum class PumpOne { Handled, Empty, Quit };
PumpOne pump_one_message();

}  // namespace mav
