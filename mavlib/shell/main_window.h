// The main window: Start/Stop/Exit, its popup menu, keys, file drops and the
// Exit sequence. It lives on the window thread.
#pragma once

#include <string>
#include <vector>

#include "plat/core/menu.h"
#include "plat/core/messages.h"

namespace mav {

// Registers the main window's class for this instance number.
bool register_main_window_class(int instance);
// Creates it at its start position; creation drops it into place and
// starts the user thread.
plat::Hwnd create_main_window(int instance, const std::string& caption);

// The popup menu as it stands now (gated items greyed while the program runs
// or waits for text input).
plat::MenuPtr build_main_popup_menu();

// Posts a command to the main window, as choosing it from a menu does.
void post_main_command(int id);

void request_start();
void request_stop();
// The Exit sequence; safe to call again (later calls do nothing).
void run_exit_sequence();

// Carries out a drop of files on the main window.
void handle_dropped_files(const std::vector<std::string>& files);

// Optional hook: reads an image file's size without keeping it (by default
// the file is decoded whole and its size taken).
using ImageSizeProbe = bool (*)(const std::string& native_path, int& width, int& height);
void set_image_size_probe(ImageSizeProbe probe);

// Optional hook: returns to the previously current image after a drop
// (by default MAV_RestoreImage).
using RestoreImageHook = int (*)();
void set_restore_image_hook(RestoreImageHook hook);

}  // namespace mav
