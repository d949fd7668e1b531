#include "dialog_broker.h"

#include <cstdio>
#include <deque>
#include <mutex>

#include "plat/base/clock.h"
#include "plat/driver/driver.h"

namespace plat {

namespace {

struct Broker {
    std::mutex m;
    driver::DialogMode mode = driver::DialogMode::AutoAnswer;
    std::deque<driver::DialogAnswer> answers;
    std::vector<driver::ShownDialog> shown;
};

Broker& broker() {
    static Broker* b = new Broker;
    return *b;
}

}  // namespace

namespace detail {

std::optional<ModalAnswer> broker_modal_opened(const DialogInfo& info, bool may_wait) {
    auto& b = broker();
    std::lock_guard lock(b.m);
    b.shown.push_back({info.caption, info.text});
    if (!b.answers.empty()) {
        driver::DialogAnswer a = b.answers.front();
        b.answers.pop_front();
        return ModalAnswer{a.cancel, a.path};
    }
    if (may_wait || b.mode == driver::DialogMode::WaitForInput) return std::nullopt;
    // Nobody will answer: say what it showed and take the default answer.
    if (info.text.empty())
        std::fprintf(stderr, "%s\n", info.caption.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", info.caption.c_str(), info.text.c_str());
    std::fflush(stderr);
    // Boxes that only inform close with OK; choosers cancel.
    bool cancel = info.kind != DialogKind::Message && info.kind != DialogKind::Properties;
    return ModalAnswer{cancel, {}};
}

}  // namespace detail

namespace driver {

void set_dialog_mode(DialogMode mode) {
    auto& b = broker();
    std::lock_guard lock(b.m);
    b.mode = mode;
}

void queue_dialog_answer(DialogAnswer answer) {
    auto& b = broker();
    std::lock_guard lock(b.m);
    b.answers.push_back(std::move(answer));
}

bool wait_dialog_answers_taken(int timeout_ms) {
    double deadline = monotonic_ms() + timeout_ms;
    for (;;) {
        {
            auto& b = broker();
            std::lock_guard lock(b.m);
            if (b.answers.empty()) return true;
        }
        if (monotonic_ms() >= deadline) return false;
        sleep_ms(5);
    }
}

std::vector<ShownDialog> shown_dialogs() {
    auto& b = broker();
    std::lock_guard lock(b.m);
    return b.shown;
}

void clear_shown_dialogs() {
    auto& b = broker();
    std::lock_guard lock(b.m);
    b.shown.clear();
}

}  // namespace driver
}  // namespace plat
