#include "modal_loop.h"

namespace plat::ui {

ModalLoop::~ModalLoop() {
    if (quit_) post_quit_message(quit_code_);
}

}  // namespace plat::ui
