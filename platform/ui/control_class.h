// What the windows of this layer share: their classes, registered on first
// use; creating a standard control as a visible child window; the state
// each control keeps; and where a window stands in a box or dialog.
#pragma once

#include <cstdint>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "plat/window.h"

namespace plat::ui {

// Registers `cls` unless a class of its name is there already. Every class of
// this layer is registered so, on the first use of a window of it; two
// threads racing to it register it once, the other one's call fails and
// changes nothing.
void ensure_class(const WindowClass& cls);

// True when `h` is `root` or lies inside it.
bool is_within(Hwnd root, Hwnd h);

struct ControlClass {
    const char* name;
    Color background;
    bool (*proc)(Message&);
};

Hwnd create_control(const ControlClass& cls, Hwnd parent, Rect rect, std::string_view text, int id,
                    std::uint32_t style);

// The state each control of one kind keeps between messages, by window.
// Copies go in and out under a lock; a control that is gone reads as a
// fresh State. Never destroyed: a thread may still handle its controls
// while the process ends.
template <typename State>
class ControlStates {
public:
    static ControlStates& instance() {
        static auto* states = new ControlStates;
        return *states;
    }
    State get(Hwnd h) {
        std::lock_guard lock(m_);
        auto it = states_.find(h.id);
        return it == states_.end() ? State{} : it->second;
    }
    void put(Hwnd h, const State& st) {  // only for a control that is still there
        std::lock_guard lock(m_);
        auto it = states_.find(h.id);
        if (it != states_.end()) it->second = st;
    }
    void add(Hwnd h) {
        std::lock_guard lock(m_);
        states_[h.id] = State{};
    }
    void remove(Hwnd h) {
        std::lock_guard lock(m_);
        states_.erase(h.id);
    }

private:
    std::mutex m_;
    std::unordered_map<std::uint32_t, State> states_;
};

}  // namespace plat::ui
