// The driver: what tests and scripts use to act as a person at the screen and
// to look at it. Input goes through the same routing as a real device's.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plat/codecs/codecs.h"
#include "plat/gfx/gfx.h"
#include "plat/core/input.h"
#include "plat/core/messages.h"

namespace plat::driver {

void move_mouse(Point screen);
void click(Point screen, MouseButton button = MouseButton::Left);
void press_button(Point screen, MouseButton button = MouseButton::Left);
void release_button(Point screen, MouseButton button = MouseButton::Left);
// Presses and releases a key, holding Ctrl and/or Shift around it.
void press_key(int key, bool ctrl = false, bool shift = false);
void hold_key(int key);
void release_key(int key);
void type_text(std::string_view utf8);
bool drop_files(Point screen, std::vector<std::string> files);

// The screen rectangle of an item of the popup menu that is open now, found
// by its text as shown ("Exit", "Paste" or "Paste\tCtrl+V"); the innermost
// open menu is searched first. nullopt when no open menu has it.
std::optional<Rect> open_menu_item(std::string_view text);

// Waits until every thread's queue is empty and no window waits for
// painting, stable for a short while. False on timeout.
bool wait_idle(int timeout_ms = 5000);

// A program's own test for work in progress that wait_idle must also wait
// for: work a thread has handed to another thread while it sits waiting for
// messages looks idle from its queue alone. nullptr removes it.
void set_busy_check(bool (*busy)());

// The whole screen (windows composed in z-order over the desktop) or one window.
Surface capture_screen();
Surface capture_window(Hwnd window);

// What a modal box or dialog does when it opens.
enum class DialogMode {
    AutoAnswer,  // text to stderr, default answer at once, unless an answer is queued
    WaitForInput,  // stays open until input (clicks, keys) answers it
};
void set_dialog_mode(DialogMode mode);

struct DialogAnswer {
    bool cancel = false;
    // File dialogs: the file to choose; colour and font dialogs: the choice
    // as text (see dialogs.h). Handed to the dialog as it is.
    std::string path;
};
// Queues an answer for the next dialog that opens.
void queue_dialog_answer(DialogAnswer answer);
// Waits until queued answers have all been taken. False on timeout.
bool wait_dialog_answers_taken(int timeout_ms);
// Texts of modal boxes opened so far (caption, text), for tests.
struct ShownDialog {
    std::string caption;
    std::string text;
};
std::vector<ShownDialog> shown_dialogs();
void clear_shown_dialogs();

}  // namespace plat::driver
