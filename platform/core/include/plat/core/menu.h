// Menu data: a bar or a popup is a list of items; an item runs a command or
// opens a submenu. Text may carry '&' before a mnemonic letter and '\t' before
// accelerator text shown on the right.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "plat/base/geometry.h"
#include "plat/core/messages.h"

namespace plat {

struct Menu;
using MenuPtr = std::shared_ptr<Menu>;

struct MenuItem {
    std::string text;  // UTF-8
    int command = 0;
    bool separator = false;
    bool checked = false;
    bool grayed = false;
    MenuPtr submenu;
};

struct Menu {
    std::vector<MenuItem> items;

    static MenuPtr create() { return std::make_shared<Menu>(); }
    Menu& add(std::string text, int command) {
        items.push_back({std::move(text), command, false, false, false, nullptr});
        return *this;
    }
    Menu& add_separator() {
        items.push_back({{}, 0, true, false, false, nullptr});
        return *this;
    }
    Menu& add_submenu(std::string text, MenuPtr sub) {
        items.push_back({std::move(text), 0, false, false, false, std::move(sub)});
        return *this;
    }
    MenuItem* find_command(int command);
};

// Text as shown: the '&' markers removed ("&&" shows one '&').
std::string menu_display_text(const std::string& text);

// Attaches a menu bar (or none) to a top-level window with a caption.
void set_menu_bar(Hwnd window, MenuPtr menu);
MenuPtr menu_bar(Hwnd window);

}  // namespace plat
