// A Quit that comes while a modal box, dialog or popup menu waits on its
// thread: the box ends with its default answer and its window goes, and the
// loop that waits for the Quit further out still gets it, with its exit code.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <ostream>
#include <string>
#include <thread>

#include "plat/ui/dialogs.h"
#include "plat/ui/popup_menu.h"
#include "plat/driver/driver.h"
#include "plat/core/keys.h"
#include "plat/core/menu.h"
#include "plat/core/window.h"
#include "support/ui_helpers.h"

using namespace plat;
using testsupport::wait_until;

namespace {

constexpr const char* kHelperClass = "modal_quit_helper";
constexpr int kExitCode = 7;

struct ModalCase {
    const char* name;
    const char* box_class;  // the class of the window that shows while it waits
    std::function<int()> open;  // opens it, waits, and returns its answer
    int default_answer;
};

void PrintTo(const ModalCase& c, std::ostream* os) { *os << c.name; }

MenuPtr one_item_menu() {
    auto m = Menu::create();
    m->add("Item", 5);
    return m;
}

const ModalCase kCases[] = {
    {"MessageBox", "plat_msgbox", [] { return message_box({}, "Text", "Caption"); }, kIdOk},
    {"YesNoBox", "plat_question", [] { return yes_no_box({}, "Replace?", "Caption"); }, kIdNo},
    {"OpenFileDialog", "plat_filedlg", [] { return open_file_dialog({}, {}).ok ? 1 : 0; }, 0},
    {"PopupMenu", "plat_popup", [] { return track_popup_menu(*one_item_menu(), {200, 200}, {}); }, 0},
};

class QuitInModalLoop : public ::testing::TestWithParam<ModalCase> {
protected:
    void SetUp() override {
        driver::clear_shown_dialogs();
        driver::set_dialog_mode(driver::DialogMode::WaitForInput);
    }
    void TearDown() override {
        driver::set_dialog_mode(driver::DialogMode::AutoAnswer);
        driver::clear_shown_dialogs();
        release_capture();
        driver::wait_idle();
    }
};

}  // namespace

TEST_P(QuitInModalLoop, EndsItAndReachesTheLoopOutside) {
    const ModalCase& c = GetParam();
    std::promise<Hwnd> helper_made;
    std::atomic<int> answer{-1};
    std::atomic<int> outer_exit{-1};
    std::atomic<bool> finished{false};
    std::thread thread([&] {
        if (!class_registered(kHelperClass)) {
            WindowClass cls;
            cls.name = kHelperClass;
            cls.proc = [](Message& m) {
                if (m.kind != MsgKind::User) return false;
                post_quit_message(kExitCode);  // as a program's Exit would, from inside the box's loop
                return true;
            };
            register_class(cls);
        }
        CreateParams p;
        p.class_name = kHelperClass;
        p.style = 0;  // hidden
        p.rect = {0, 0, 1, 1};
        Hwnd helper = create_window(p);
        helper_made.set_value(helper);
        answer = c.open();
        Message m;
        while (get_message(m)) {
            translate_message(m);
            dispatch_message(m);
        }
        outer_exit = int(m.param);
        destroy_window(helper);
        finished = true;
    });
    Hwnd helper = helper_made.get_future().get();
    EXPECT_TRUE(wait_until([&] { return bool(find_window(c.box_class)); }, 5000));
    EXPECT_TRUE(driver::wait_idle());

    Message quit;
    quit.window = helper;
    quit.kind = MsgKind::User;
    ASSERT_TRUE(post_message(quit));
    bool ended = wait_until([&] { return finished.load(); }, 5000);
    if (!ended) {  // end the box and the outer loop all the same
        driver::press_key(key::Escape);
        post_message(quit);
    }
    thread.join();

    EXPECT_TRUE(ended);
    EXPECT_EQ(answer, c.default_answer);
    EXPECT_EQ(outer_exit, kExitCode);
    EXPECT_FALSE(find_window(c.box_class));
}

INSTANTIATE_TEST_SUITE_P(ModalLoops, QuitInModalLoop, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ModalCase>& info) { return std::string(info.param.name); });
