// The text windows' tools: the command line, the log files and the window
// report's layout source, run on a pumping thread as the user thread does.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <future>
#include <mutex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "boxes/boxes.h"
#include "image/image_table.h"
#include "mavlib.h"
#include "plat/core/clipboard.h"
#include "plat/base/clock.h"
#include "plat/base/codepage.h"
#include "plat/driver/driver.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "runtime/commands.h"
#include "runtime/frame_state.h"
#include "support/library_classes.h"
#include "support/process.h"
#include "support/temp_folder.h"
#include "support/ui_thread.h"
#include "support/wait_until.h"
#include "text/text_menu.h"
#include "text/text_window.h"
#include "tools/layout_source.h"
#include "tools/window_report.h"

using namespace mav;

namespace {

std::mutex g_keys_mutex;
std::vector<int> g_main_keys;

class TextTools : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::register_library_window_classes();
        plat::WindowClass c;
        c.name = "tools_test_main";
        c.proc = [](plat::Message& m) {
            if (m.kind != plat::MsgKind::KeyDown) return false;
            std::lock_guard lock(g_keys_mutex);
            g_main_keys.push_back(m.key);
            return true;
        };
        plat::register_class(c);
        frame().input_pending = 0;
        frame().quit_state = kQuitRunning;
        frame().instance = 3;
        frame().start_dir = dir_.str() + "/";
        plat::driver::clear_shown_dialogs();
        plat::driver::set_dialog_mode(plat::driver::DialogMode::AutoAnswer);
        main_ = ui_.run([] {
            plat::CreateParams p;
            p.class_name = "tools_test_main";
            p.rect = plat::Rect::from_xywh(1700, 1000, 100, 40);
            return plat::create_window(p);
        });
        frame().main_window = main_.id;
        ASSERT_EQ(ui_.run([] { return MAV_OpenTextWindow(12, 100, 100, 400, 300); }), 0);
    }
    void TearDown() override {
        ui_.run([this] {
            for (int i = 0; i < kTextSlots; ++i) MAV_CloseTextWindow(i);
            plat::destroy_window(main_);
        });
        frame().main_window = 0;
        current_text_window() = 0;
    }
    void post_command(int no, int command) {
        plat::Message m;
        m.window = text_window(no).window;
        m.kind = plat::MsgKind::Command;
        m.command_id = command;
        plat::post_message(m);
        plat::driver::wait_idle();
    }
    // Runs the command line on the UI thread and types `line` into it.
    int command(const std::string& line) {
        auto result = std::make_shared<std::promise<int>>();
        ui_.post([result] { result->set_value(MAV_CommandPrompt()); });
        EXPECT_TRUE(testsupport::wait_until([] { return frame().input_pending.load() != 0; }, 5000));
        plat::driver::type_text(line + "\n");
        return result->get_future().get();
    }
    int log_state(int no) {
        return ui_.run([no] {
            std::lock_guard lock(text_window(no).m);
            return text_window(no).log_state;
        });
    }
    std::string log_file() { return dir_.file("MAVLIB312.LOG"); }

    testsupport::TempFolder dir_{"tools_"};
    testsupport::UiThread ui_;
    plat::Hwnd main_;
};

}  // namespace

TEST_F(TextTools, CommandLineTakesExactCommandsAndLogsPromptsWithAnswers) {
    ASSERT_EQ(ui_.run([] { return MAV_StartLog(12); }), 0);
    // Space opens the command line without taking the space as a letter.
    plat::driver::press_key(plat::key::Space);
    ASSERT_TRUE(testsupport::wait_until([] { return frame().input_pending.load() != 0; }, 5000));
    plat::driver::type_text("help\n");
    plat::driver::wait_idle();
    EXPECT_EQ(command("Exit"), 1);
    EXPECT_EQ(command("start"), 0);
    plat::driver::wait_idle();
    {
        std::lock_guard lock(g_keys_mutex);
        EXPECT_EQ(g_main_keys, std::vector<int>{'S'});
    }
    ASSERT_EQ(ui_.run([] { return MAV_StopLog(12); }), 0);
    ui_.run([] { MAV_CopyLogToClipboard(12); });
    EXPECT_EQ(plat::clipboard::multibyte_text().value_or("none"),
              "Cmd>help\nCommand list:exit help start ver color\nCmd>Exit\nInvalid command\nCmd>start\n");
}

TEST_F(TextTools, LogStopsResumesAndCopiesWhileItGoesOn) {
    const std::string japanese = plat::utf8_to_sjis("日本語");
    std::string long_line(60, 'w');  // wraps in a 50-cell window, not in the log
    post_command(12, kCmdStartLog);
    EXPECT_EQ(log_state(12), 1);
    EXPECT_EQ(ui_.run([] { return MAV_StartLog(12); }), 1);
    ui_.run([&] { MAV_Printf("%s %s|", long_line.c_str(), japanese.c_str()); });
    post_command(12, kCmdStopLog);
    EXPECT_EQ(log_state(12), 2);
    ui_.run([] { MAV_Printf("not logged\n"); });
    EXPECT_EQ(ui_.run([] { return MAV_StartLog(12); }), 0);
    ui_.run([] {
        MAV_Printf("more\n");
        MAV_ClearTextWindow();
    });
    const std::string so_far = long_line + " " + japanese + "|more\n\n";
    post_command(12, kCmdCopyLog);
    EXPECT_EQ(plat::clipboard::multibyte_text().value_or("none"), so_far);
    ui_.run([] { MAV_Printf("after copy\n"); });
    ui_.run([] { MAV_CloseAllLogs(); });
    EXPECT_EQ(log_state(12), 0);
    EXPECT_EQ(testsupport::read_file(log_file()), so_far + "after copy\n");
    // A new log truncates the file.
    EXPECT_EQ(ui_.run([] { return MAV_StartLog(12); }), 0);
    EXPECT_EQ(ui_.run([] { return MAV_CopyLogToClipboard(12); }), 0);
    EXPECT_EQ(plat::clipboard::multibyte_text().value_or("none"), "");
    EXPECT_EQ(ui_.run([] { return MAV_StartLog(13); }), 3);
    EXPECT_EQ(ui_.run([] { return MAV_StopLog(-1); }), 2);
    EXPECT_EQ(ui_.run([] { return MAV_CopyLogToClipboard(256); }), 4);
}

TEST_F(TextTools, UnwritableFolderAndVanishedLogGiveCodesAndMessages) {
    frame().start_dir = dir_.file("missing") + "/";
    EXPECT_EQ(ui_.run([] { return MAV_StartLog(12); }), 2);
    EXPECT_EQ(log_state(12), 0);
    EXPECT_EQ(ui_.run([] { return MAV_StopLog(12); }), 1);
    frame().start_dir = dir_.str() + "/";
    ASSERT_EQ(ui_.run([] { return MAV_StartLog(12); }), 0);
    ui_.run([] { MAV_Printf("lost\n"); });
    std::filesystem::remove(log_file());
    EXPECT_EQ(ui_.run([] { return MAV_CopyLogToClipboard(12); }), 2);
    // Logging goes on, in a file made anew.
    ui_.run([] { MAV_Printf("kept\n"); });
    ui_.run([] { MAV_CloseAllLogs(); });
    EXPECT_EQ(testsupport::read_file(log_file()), "kept\n");

    // Something that is not a file under the log's name: the copy says it
    // cannot open it, and neither a folder nor a pipe blocks or throws.
    std::filesystem::remove(log_file());
    std::filesystem::create_directory(log_file());
    EXPECT_EQ(ui_.run([] { return MAV_CopyLogToClipboard(12); }), 2);
    EXPECT_EQ(ui_.run([] { return MAV_StartLog(12); }), 2);
    std::filesystem::remove(log_file());
    ASSERT_EQ(::mkfifo(log_file().c_str(), 0600), 0);
    EXPECT_EQ(ui_.run([] { return MAV_StartLog(12); }), 2);
    EXPECT_EQ(ui_.run([] { return MAV_CopyLogToClipboard(12); }), 2);

    std::vector<std::string> texts;
    for (const auto& d : plat::driver::shown_dialogs()) texts.push_back(d.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"Can't create file for LOG!", "Can't open LOG file!",
                                               "Can't open LOG file!", "Can't create file for LOG!",
                                               "Can't create file for LOG!", "Can't open LOG file!"}));
    EXPECT_EQ(plat::driver::shown_dialogs()[0].caption, "Error");
}

namespace {

// Reads one generated call: its name and its arguments, strings unescaped
// as a C compiler would.
struct Call {
    std::string name;
    std::vector<std::string> args;
};

Call parse_call(const std::string& line) {
    Call c;
    std::size_t i = line.find('(');
    c.name = line.substr(1, i - 1);  // after the tab
    std::string arg;
    for (++i; i < line.size() && line[i] != ')'; ++i) {
        if (line[i] == ',') {
            c.args.push_back(arg);
            arg.clear();
        } else if (line[i] == '"') {
            for (++i; line[i] != '"'; ++i) {
                unsigned char ch = static_cast<unsigned char>(line[i]);
                if ((ch >= 0x81 && ch <= 0x9F) || ch >= 0xE0) {
                    arg += line.substr(i++, 2);
                } else if (ch != '\\') {
                    arg += line[i];
                } else if (std::isdigit(static_cast<unsigned char>(line[++i]))) {
                    arg += char(std::stoi(line.substr(i, 3), nullptr, 8));
                    i += 2;
                } else {
                    const std::string from = "nrt", to = "\n\r\t";
                    auto k = from.find(line[i]);
                    arg += k == std::string::npos ? line[i] : to[k];
                }
            }
        } else {
            arg += line[i];
        }
    }
    c.args.push_back(arg);
    EXPECT_EQ(line.substr(i), ");") << line;
    return c;
}

void run_call(const Call& c) {
    auto n = [&](std::size_t k) { return c.args[k] == "MAVMAINWINDOW" ? MAVMAINWINDOW : std::stoi(c.args[k]); };
    const char* s = c.args.size() > 1 ? c.args[1].c_str() : "";
    int r = -1;
    if (c.name == "MAV_CreateImage") r = MAV_CreateImage(n(0), s, n(2), n(3), n(4), n(5), n(6));
    else if (c.name == "MAV_CreateImage8") r = MAV_CreateImage8(n(0), s, n(2), n(3), n(4), n(5), n(6));
    else if (c.name == "MAV_OpenTextWindow") r = MAV_OpenTextWindow(n(0), n(1), n(2), n(3), n(4));
    else if (c.name == "MAV_OpenInputBox") r = MAV_OpenInputBox(n(0), n(1), n(2));
    else if (c.name == "MAV_ResizeInputBox") r = MAV_ResizeInputBox(n(0), n(1));
    else if (c.name == "MAV_SetInputBoxTitle") r = MAV_SetInputBoxTitle(n(0), s);
    else if (c.name == "MAV_OpenButtonBox") r = MAV_OpenButtonBox(n(0), n(1), n(2), n(3));
    else if (c.name == "MAV_ResizeButtonBox") r = MAV_ResizeButtonBox(n(0), n(1));
    else if (c.name == "MAV_SetButtonBoxTitle") r = MAV_SetButtonBoxTitle(n(0), s);
    else if (c.name == "MAV_SetForeground") r = MAV_SetForeground(n(0));
    EXPECT_EQ(r, 0) << c.name;
}

void close_everything() {
    for (int i = 0; i < kImageSlots; ++i) MAV_DestroyImage(i);
    for (int i = 0; i < kTextSlots; ++i) MAV_CloseTextWindow(i);
    MAV_CloseInputBox();
    MAV_CloseButtonBox();
}

}  // namespace

TEST_F(TextTools, LayoutSourceRecreatesTheSameWindows) {
    const std::string table = plat::utf8_to_sjis("表");  // its second byte is a backslash
    ui_.run([&] {
        close_everything();
        MAV_CreateImage(2, "say \"hi\" c:\\tmp", 300, 40, 320, 200, 100);
        MAV_CreateImage8(5, "grey", 600, 40, 32, 32, 200);
        MAV_OpenTextWindow(0, 20, 500, 320, 200);
        MAV_OpenInputBox(800, 300, 3);
        MAV_ResizeInputBox(90, 150);
        MAV_SetInputBoxTitle(1, table.c_str());
        MAV_OpenButtonBox(800, 600, 2, 2);
        MAV_ResizeButtonBox(220, 120);
        MAV_SetButtonBoxTitle(3, "two\nlines");
    });
    post_command(0, kCmdWindowInfo);
    const std::string source = plat::clipboard::multibyte_text().value_or("");
    WindowLayout before = ui_.run([] { return collect_window_layout(); });

    std::vector<std::string> lines;
    std::istringstream in(source);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    ASSERT_EQ(lines.size(), 20u) << source;
    EXPECT_EQ(lines[0], "\t// MAVLIB --- Automatic Source Generator");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](auto& l) { return l.rfind("\t// [", 0) == 0; }), 4);
    EXPECT_EQ(lines[2], "\tMAV_CreateImage(2,\"say \\\"hi\\\" c:\\\\tmp\",300,40,320,200,100);");
    EXPECT_EQ(lines[18], "\tMAV_SetButtonBoxTitle(3,\"two\\nlines\");");
    EXPECT_EQ(lines[19], "\tMAV_SetForeground(MAVMAINWINDOW);");

    ui_.run([&] {
        close_everything();
        for (const std::string& l : lines)
            if (l.rfind("\t//", 0) != 0) run_call(parse_call(l));
    });
    WindowLayout after = ui_.run([] { return collect_window_layout(); });
    ASSERT_EQ(after.images.size(), 2u);
    for (int k = 0; k < 2; ++k) {
        const ImageLayout &a = after.images[k], &b = before.images[k];
        EXPECT_EQ(std::tie(a.index, a.bits, a.title, a.x, a.y, a.width, a.height, a.zoom),
                  std::tie(b.index, b.bits, b.title, b.x, b.y, b.width, b.height, b.zoom));
    }
    EXPECT_EQ(after.images[0].title, "say \"hi\" c:\\tmp");
    ASSERT_EQ(after.texts.size(), 1u);
    EXPECT_EQ(std::tie(after.texts[0].x, after.texts[0].y, after.texts[0].width, after.texts[0].height),
              std::tie(before.texts[0].x, before.texts[0].y, before.texts[0].width, before.texts[0].height));
    EXPECT_EQ(after.input.window, before.input.window);
    EXPECT_EQ(after.input.titles, (std::vector<std::string>{"Item 0", table, "Item 2"}));
    EXPECT_EQ(after.buttons.window, before.buttons.window);
    EXPECT_EQ(after.buttons.client.width, 220);
    EXPECT_EQ(after.buttons.captions, (std::vector<std::string>{"0", "1", "2", "two\nlines"}));
    ui_.run([] {
        close_everything();
        // Box sizes outlive the boxes: back to the first ones for later tests.
        MAV_ResizeInputBox(80, 70);
        MAV_OpenButtonBox(0, 0, 1, 1);
        MAV_ResizeButtonBox(98 + 8, 26 + 8);
        MAV_CloseButtonBox();
    });
}
