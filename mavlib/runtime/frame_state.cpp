#include "runtime/frame_state.h"

namespace mav {

FrameState& frame() {
    static FrameState* s = new FrameState;  // outlives an abandoned user thread
    return *s;
}

WindowTables& windows() {
    static WindowTables* t = new WindowTables;
    return *t;
}

plat::Hwnd main_window() { return plat::Hwnd{frame().main_window.load()}; }

}  // namespace mav
