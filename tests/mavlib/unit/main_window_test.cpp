// The main window's popup menu gating and its handling of dropped files.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "plat/base/clock.h"
#include "plat/codecs/codecs.h"
#include "runtime/commands.h"
#include "runtime/frame_state.h"
#include "runtime/mailbox.h"
#include "shell/main_window.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"

using namespace mav;

namespace {

std::vector<std::string> item_texts(const plat::Menu& m) {
    std::vector<std::string> out;
    for (const auto& it : m.items) out.push_back(it.separator ? "-" : it.text);
    return out;
}

std::vector<int> greyed_commands(const plat::Menu& m) {
    std::vector<int> out;
    for (const auto& it : m.items)
        if (it.grayed) out.push_back(it.command);
    return out;
}

}  // namespace

TEST(MainPopup, ItemsInOrderAndGatedWhileRunningOrWaitingForText) {
    frame().running = 0;
    frame().input_pending = 0;
    plat::MenuPtr idle = build_main_popup_menu();
    EXPECT_EQ(item_texts(*idle),
              (std::vector<std::string>{"Paste\tCtrl+V", "-", "Start", "Stop", "E&xit", "-", "Image Window",
                                        "Text Window", "Input Box", "Button Box", "-", "&Window Info.\tCtrl+W"}));
    EXPECT_TRUE(greyed_commands(*idle).empty());

    const std::vector<int> gated{kCmdPaste, kCmdStart, kCmdImageWindow, kCmdTextWindow,
                                 kCmdInputBox, kCmdButtonBox, kCmdWindowInfo};
    frame().running = 1;
    EXPECT_EQ(greyed_commands(*build_main_popup_menu()), gated);
    frame().running = 0;
    frame().input_pending = 1;
    EXPECT_EQ(greyed_commands(*build_main_popup_menu()), gated);
    frame().input_pending = 0;
}

namespace {

std::mutex g_mutex;
std::vector<std::string> g_log;
std::atomic<int> g_taken_slot{-1};

void log(const std::string& s) {
    std::lock_guard lock(g_mutex);
    g_log.push_back(s);
}

// What the request thread logged so far.
std::vector<std::string> logged() {
    std::lock_guard lock(g_mutex);
    return g_log;
}

class Drops : public ::testing::Test {
protected:
    void SetUp() override {
        {
            std::lock_guard lock(g_mutex);
            g_log.clear();
        }
        frame().quit_state = kQuitRunning;
        set_request_handler(kReqCreateImage, [](RequestSlot& s) {
            s.result = s.index == g_taken_slot.load() ? 1 : 0;
            log("create " + std::string(s.name) + " " + std::to_string(s.width) + "x" + std::to_string(s.height) +
                " -> " + std::to_string(s.result));
        });
        set_request_handler(kReqLoadImage, [](RequestSlot& s) {
            log("load " + std::to_string(s.index) + " " + std::filesystem::path(s.path).filename().string());
            s.result = 0;
        });
        set_request_handler(kReqRefresh, [](RequestSlot& s) { log("refresh " + std::to_string(s.index)); });
        set_restore_image_hook([] {
            log("restore");
            return 0;
        });
        server_ = std::thread([this] {
            while (!quit_) {
                plat::sleep_ms(1);
                if (request_slot().code.load() != 0) serve_request();
            }
        });
    }
    void TearDown() override {
        quit_ = true;
        server_.join();
        for (int c = kReqCreateImage; c <= kReqButtonBox; ++c) set_request_handler(c, nullptr);
        set_restore_image_hook(nullptr);
    }
    std::string make_png(const std::string& name, int w, int h) {
        plat::Surface s(w, h);
        std::string path = dir_.file(name);
        EXPECT_TRUE(plat::save_png(s, path).ok);
        return path;
    }
    testsupport::TempFolder dir_{"drops_"};
    std::atomic<bool> quit_{false};
    std::thread server_;
};

}  // namespace

TEST_F(Drops, ThreeFilesLandInConsecutiveSlotsNamedBySlotAndFile) {
    g_taken_slot = -1;
    std::vector<std::string> files{make_png("a.png", 4, 3), make_png("b.png", 5, 6), make_png("c.png", 7, 8)};
    handle_dropped_files(files);
    // The refresh is not awaited: the poster restores the current image at
    // once, and the next post waits until the refresh has been served.
    ASSERT_TRUE(testsupport::wait_until([] { return request_slot().code.load() == 0; }, 5000));
    EXPECT_EQ(logged(), (std::vector<std::string>{
                         "create 000 a.png 4x3 -> 0", "load 0 a.png", "restore", "refresh 0",
                         "create 001 b.png 5x6 -> 0", "load 1 b.png", "restore", "refresh 1",
                         "create 002 c.png 7x8 -> 0", "load 2 c.png", "restore", "refresh 2"}));
}

TEST_F(Drops, ATakenSlotIsSkippedAndUnreadableFilesAreLeftOut) {
    g_taken_slot = 1;
    std::string bad = dir_.file("notes.txt");
    FILE* f = std::fopen(bad.c_str(), "w");
    std::fputs("not an image", f);
    std::fclose(f);
    std::vector<std::string> files{make_png("a.png", 4, 3), bad, make_png("b.png", 5, 6),
                                   dir_.file("missing.png"), make_png("c.png", 7, 8)};
    handle_dropped_files(files);
    std::vector<std::string> creates;
    for (auto& l : logged())
        if (l.rfind("create", 0) == 0) creates.push_back(l);
    EXPECT_EQ(creates, (std::vector<std::string>{"create 000 a.png 4x3 -> 0", "create 001 b.png 5x6 -> 1",
                                                 "create 002 b.png 5x6 -> 0", "create 003 c.png 7x8 -> 0"}));
}
