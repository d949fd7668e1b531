// The main window's dialogues, run on the window thread in the current text
// window: they ask for numbers and then post a request to the user thread.
#pragma once

namespace mav {

void image_window_dialogue();
void input_box_dialogue();
void button_box_dialogue();
void window_info_command();

}  // namespace mav
