// A thread with a message loop, for tests that need windows owned by a thread
// that keeps pumping while the test drives input from its own thread.
#pragma once

#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "plat/core/window.h"

namespace testsupport {

class UiThread {
public:
    UiThread() {
        std::promise<void> ready;
        auto started = ready.get_future();
        thread_ = std::thread([this, &ready] {
            ensure_class();
            plat::CreateParams p;
            p.class_name = "test_ui_runner";
            p.style = 0;  // hidden, no frame
            p.rect = {0, 0, 1, 1};
            runner_ = plat::create_window(p);
            ready.set_value();
            plat::Message m;
            while (plat::get_message(m)) {
                plat::translate_message(m);
                plat::dispatch_message(m);
            }
            plat::destroy_window(runner_);
        });
        started.wait();
    }

    ~UiThread() { stop(); }

    // Ends the thread's loop and waits for the thread; the destructor does
    // so unless it was done before. Nothing may be run on it afterwards.
    void stop() {
        if (!thread_.joinable()) return;
        run([] { plat::post_quit_message(0); });
        thread_.join();
    }

    // Runs `fn` on the UI thread and waits for it to return.
    template <typename F>
    auto run(F fn) -> decltype(fn()) {
        using R = decltype(fn());
        auto task = std::make_shared<std::packaged_task<R()>>(std::move(fn));
        auto result = task->get_future();
        post([task] { (*task)(); });
        return result.get();
    }

    // Queues `fn` to run on the UI thread without waiting.
    void post(std::function<void()> fn) {
        auto* heap = new std::function<void()>(std::move(fn));
        plat::Message m;
        m.window = runner_;
        m.kind = plat::MsgKind::User;
        m.param = reinterpret_cast<std::intptr_t>(heap);
        plat::post_message(m);
    }

private:
    static void ensure_class() {
        static std::once_flag once;
        std::call_once(once, [] {
            plat::WindowClass cls;
            cls.name = "test_ui_runner";
            cls.proc = [](plat::Message& m) {
                if (m.kind != plat::MsgKind::User) return false;
                auto* fn = reinterpret_cast<std::function<void()>*>(m.param);
                (*fn)();
                delete fn;
                return true;
            };
            plat::register_class(cls);
        });
    }

    std::thread thread_;
    plat::Hwnd runner_;
};

}  // namespace testsupport
