// What every standard control shares: its class, registered on first use,
// and creating one as a visible child window.
#pragma once

#include <cstdint>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "plat/window.h"

namespace plat::ui {

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
