// The real entry point, run as a process: lifecycle, Exit's grace period,
// the instance limit, the command line and what the screen shows.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>
#include <vector>

#include "plat/codecs/codecs.h"
#include "plat/base/instance.h"
#include "support/process.h"
#include "support/temp_folder.h"

using testsupport::read_file;
using testsupport::RunResult;
using testsupport::run_program;

namespace {

class FrameE2E : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.folder("runtime");
        log_ = dir_.file("calls.log");
    }

    RunResult run(std::vector<std::string> args, std::vector<std::string> env = {},
                  const std::function<void(pid_t)>& on_start = nullptr) {
        env.push_back("MAV_TEST_LOG=" + log_);
        env.push_back("PLAT_RUNTIME_DIR=" + dir_.file("runtime"));
        return run_program(LIFECYCLE_APP, args, env, 60, on_start);
    }

    std::vector<std::string> log_lines() {
        std::istringstream in(read_file(log_));
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }

    int count(const std::string& prefix) {
        auto lines = log_lines();
        return int(std::count_if(lines.begin(), lines.end(), [&](auto& l) { return l.rfind(prefix, 0) == 0; }));
    }

    testsupport::TempFolder dir_{"e2e_"};
    std::string log_;
};

int field(const std::string& line, const std::string& key) {
    auto p = line.find(key + "=");
    return p == std::string::npos ? -1 : std::atoi(line.c_str() + p + key.size() + 1);
}

}  // namespace

TEST_F(FrameE2E, StartStopExitRunsEachEntryOnceOnTheUserThread) {
    RunResult r = run({"--headless", "--do", "start; wait 200; stop; idle; exit"});
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    auto lines = log_lines();
    ASSERT_EQ(lines.size(), 4u) << read_file(log_);
    EXPECT_EQ(lines[0].rfind("setup user-thread", 0), 0u);
    EXPECT_EQ(lines[1].rfind("main-begin user-thread stop=0", 0), 0u);
    EXPECT_EQ(lines[2], "main-end user-thread");
    EXPECT_EQ(lines[3].rfind("exit user-thread", 0), 0u);
}

// A script types only once the program asks for a line, so no key is lost
// however long the program takes to get there.
TEST_F(FrameE2E, WaitInputLetsAScriptTypeTheLineTheProgramAsksFor) {
    RunResult r = run({"--headless", "--do", "start; wait-input; type Hello 42; key Enter; idle; stop; idle; exit"},
                      {"MAV_TEST_TEXT=1"});
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(count("input-text 0 [Hello 42]"), 1) << read_file(log_);
}

// The log of a text window holds what was printed and typed, in Shift-JIS,
// and Exit closes it before UserExit runs.
TEST_F(FrameE2E, TextWindowLogHoldsPrintedAndTypedTextUntilExit) {
    std::string dir = dir_.folder("logs");
    RunResult r = run({"--headless", "--do", "start; wait-input; type Hello 42; key Enter; idle; stop; idle; exit"},
                      {"MAV_TEST_TEXT=1", "MAV_TEST_LOG_DIR=" + dir});
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    ASSERT_EQ(count("start-log 0"), 1) << read_file(log_);
    std::string setup = log_lines().front();  // "setup <thread> instance N label -"
    int instance = std::atoi(setup.c_str() + setup.find("instance ") + 9);
    std::string name = dir + "/MAVLIB" + std::to_string(instance) + "0.LOG";
    EXPECT_EQ(read_file(name),
              "lifecycle_app: text window 0\n"
              "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83\x58\x83\x67\n"
              "line? Hello 42\ngot [Hello 42]\n");
}

TEST_F(FrameE2E, StartWhileRunningIsIgnoredAndStopWhileIdleIsClearedByTheNextStart) {
    RunResult r = run({"--headless", "--do",
                       "stop; wait 30; start; wait 100; start; wait 100; stop; idle; start; wait 100; stop; idle; exit"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(count("main-begin user-thread stop=0"), 2) << read_file(log_);
    EXPECT_EQ(count("main-begin"), 2);
    EXPECT_EQ(count("exit"), 1);
}

TEST_F(FrameE2E, ExitWhileMainIgnoresStopEndsAfterTheGracePeriod) {
    RunResult r = run({"--headless", "--do", "start; wait 100; exit"}, {"MAV_TEST_MODE=ignore_stop"});
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(count("exit"), 1) << read_file(log_);
    EXPECT_EQ(count("main-end"), 0);
    // UserExit ran on the window thread about 2 s after Exit was chosen.
    std::string begin, exit;
    for (auto& l : log_lines()) {
        if (l.rfind("main-begin", 0) == 0) begin = l;
        if (l.rfind("exit", 0) == 0) exit = l;
    }
    EXPECT_EQ(exit.rfind("exit window-thread", 0), 0u) << exit;
    unsigned waited = unsigned(field(exit, "t") - field(begin, "t"));
    EXPECT_GE(waited, 2000u);
    EXPECT_LT(waited, 4000u);
}

TEST_F(FrameE2E, EleventhInstanceIsRefusedAndAFreedNumberIsReused) {
    std::string runtime = dir_.file("runtime");
    setenv("PLAT_RUNTIME_DIR", runtime.c_str(), 1);
    std::vector<plat::InstanceSlot> held;
    for (int i = 0; i < 10; ++i) {
        auto slot = plat::claim_instance_slot("mavlib_mw", 10);
        ASSERT_TRUE(slot);
        held.push_back(std::move(*slot));
    }
    RunResult refused = run({"--headless", "--do", "start; exit"});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_NE(refused.err.find("MAVLIB: Over instance limit!"), std::string::npos) << refused.err;
    EXPECT_TRUE(log_lines().empty());  // nothing else was created or run

    held[4].release();
    RunResult ok = run({"--headless", "--do", "exit"});
    EXPECT_EQ(ok.exit_code, 0) << ok.err;
    ASSERT_FALSE(log_lines().empty());
    EXPECT_NE(log_lines()[0].find("instance 4 "), std::string::npos) << log_lines()[0];
}

TEST_F(FrameE2E, CommandLineErrorsExitWithTwoAndHelpListsBothKindsOfOptions) {
    RunResult bad = run({"--headless", "--frobnicate"});
    EXPECT_EQ(bad.exit_code, 2);
    EXPECT_NE(bad.err.find("unknown option '--frobnicate'"), std::string::npos) << bad.err;
    RunResult bad_action = run({"--headless", "--do", "start; dance"});
    EXPECT_EQ(bad_action.exit_code, 2);
    EXPECT_NE(bad_action.err.find("unknown action 'dance'"), std::string::npos) << bad_action.err;
    RunResult bad_source = run({"--headless", "--camera-source", dir_.file("calls.log")});
    EXPECT_EQ(bad_source.exit_code, 2);
    EXPECT_NE(bad_source.err.find("--camera-source: \"" + dir_.file("calls.log") + "\": no such file"), std::string::npos)
        << bad_source.err;
    RunResult help = run({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_NE(help.out.find("--virtual-cameras N"), std::string::npos);
    EXPECT_NE(help.out.find("--headless"), std::string::npos);
    EXPECT_NE(help.out.find("--label TEXT"), std::string::npos);
    EXPECT_TRUE(log_lines().empty());
}

TEST_F(FrameE2E, ProgramOptionsReachTheProgram) {
    RunResult r = run({"--headless", "--label", "hello", "--do", "exit"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    ASSERT_FALSE(log_lines().empty());
    EXPECT_NE(log_lines()[0].find("label hello"), std::string::npos);
}

TEST_F(FrameE2E, ScriptWithoutExitStillEnds) {
    RunResult r = run({"--headless", "--do", "start; wait 50; stop"});
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(count("exit"), 1);
}

TEST_F(FrameE2E, ScreenshotShowsTheMainWindowAtTheBottomCentre) {
    std::string shot = dir_.file("screen.png");
    RunResult r = run({"--headless", "--screen", "800x600", "--do", "screenshot " + shot + "; exit"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    plat::Surface s;
    ASSERT_TRUE(plat::load_png(shot, s).ok);
    ASSERT_EQ(s.size(), (plat::Size{800, 600}));
    // Find the window: the frame's top-left corner is the first non-desktop pixel.
    const plat::Color desktop = s.pixel(0, 0);
    int top = -1, left = -1, right = -1;
    for (int y = 0; y < 600 && top < 0; ++y)
        for (int x = 0; x < 800; ++x)
            if (s.pixel(x, y) != desktop) {
                top = y;
                left = x;
                break;
            }
    ASSERT_GE(top, 0);
    for (int x = 799; x >= 0; --x)
        if (s.pixel(x, top) != desktop) {
            right = x + 1;
            break;
        }
    EXPECT_EQ(s.pixel(left, 599) != desktop, true);  // reaches the bottom of the screen
    EXPECT_NEAR(left + (right - left) / 2.0, 400.0, 1.0);  // centred
    EXPECT_EQ(right - left, 248);  // 240 client + two 4-pixel sizing borders
    EXPECT_EQ(600 - top, 80);       // borders, caption, menu bar and 32 client rows
    // The caption bar: active colour with the program's name in light text.
    EXPECT_EQ(s.pixel(left + 100, top + 6), 0x0A246Au);
    // The status text "32-bit color" starts 12 cells into the client area.
    int label_top = top + 4 + 20 + 20 + 6;
    auto ink_in = [&](int x0, int x1) {
        for (int y = label_top; y < label_top + 16; ++y)
            for (int x = x0; x < x1; ++x)
                if (s.pixel(x, y) == 0) return true;
        return false;
    };
    int client_left = left + 4;
    EXPECT_FALSE(ink_in(client_left, client_left + 96));
    EXPECT_TRUE(ink_in(client_left + 96, client_left + 96 + 8));             // '3'
    EXPECT_TRUE(ink_in(client_left + 96 + 11 * 8, client_left + 96 + 12 * 8));  // 'r'
    EXPECT_FALSE(ink_in(client_left + 96 + 12 * 8, client_left + 234));
}

TEST_F(FrameE2E, MainWindowKeysStartStopAndExit) {
    RunResult r = run({"--headless", "--do", "key S; wait 100; key C; idle; key S; wait 100; key C; idle; key Esc"});
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(count("main-begin"), 2) << read_file(log_);
    EXPECT_EQ(count("main-end"), 2);
    EXPECT_EQ(count("exit"), 1);
    RunResult x = run({"--headless", "--do", "key X; wait 5000"});
    EXPECT_LT(x.seconds, 5.0);  // X ended it; the wait never finished
    EXPECT_EQ(x.exit_code, 0);
}

TEST_F(FrameE2E, TriggerKeysSetTheFlagOnlyWhenTheProgramAsksForThem) {
    RunResult off = run({"--headless", "--do", "key Space; idle; exit"});
    EXPECT_EQ(off.exit_code, 0) << off.err;
    EXPECT_EQ(count("exit user-thread"), 1);
    EXPECT_NE(read_file(log_).find("trigger=0"), std::string::npos);
    std::filesystem::remove(log_);
    RunResult on = run({"--headless", "--do", "key Down; idle; exit"}, {"MAV_TEST_TRIGGERS=1"});
    EXPECT_EQ(on.exit_code, 0) << on.err;
    EXPECT_NE(read_file(log_).find("trigger=1"), std::string::npos) << read_file(log_);
}

// A signal ends the program through Exit however early it comes (here: as
// soon as the process takes signals, before the main window exists, and
// while the program runs), and a script it cut short does not pass for done.
TEST_F(FrameE2E, InterruptEndsTheProgramThroughExitAndNotAsDone) {
    for (const int delay_ms : {0, 1800}) {
        SCOPED_TRACE(delay_ms);
        std::filesystem::remove(log_);
        std::thread killer;
        RunResult r = run({"--headless", "--do", "start; wait 20000"}, {}, [&](pid_t pid) {
            killer = std::thread([pid, delay_ms] {
                for (int t = 0; t < 5000 && !testsupport::takes_stop_signals(pid); ++t)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
                kill(pid, SIGINT);
            });
        });
        killer.join();
        EXPECT_LT(r.seconds, 10.0);
        EXPECT_EQ(r.exit_code, 3) << r.err;
        EXPECT_NE(r.err.find("lifecycle_app: ended by SIGINT before its work was done\n"), std::string::npos) << r.err;
        EXPECT_EQ(count("main-end"), delay_ms ? 1 : 0) << read_file(log_);  // Stop reached the program's loop
        EXPECT_EQ(count("exit user-thread"), 1);
    }
}

TEST_F(FrameE2E, TextWindowItemOpensTheLowestClosedWindowAtDefaultSize) {
    std::string shot = dir_.file("screen.png");
    // The main window's client area is at the bottom centre of 1024x768.
    RunResult r = run({"--headless", "--screen", "1024x768", "--do",
                       "rclick 512 750; menu Text Window; idle; screenshot " + shot + "; exit"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    plat::Surface s;
    ASSERT_TRUE(plat::load_png(shot, s).ok);
    // The first window at the default position: frame at (26, 26), client
    // 400 x 300 of black below the caption.
    const plat::Point client{26 + 4, 26 + 4 + 20};
    EXPECT_EQ(s.pixel(client.x, client.y), 0u);
    EXPECT_EQ(s.pixel(client.x + 399, client.y + 299), 0u);
    EXPECT_NE(s.pixel(client.x + 400, client.y + 299), 0u);
    EXPECT_NE(s.pixel(client.x + 399, client.y + 300), 0u);
    EXPECT_EQ(s.pixel(client.x + 100, client.y - 10), 0x0A246Au);  // its caption, active
}

TEST_F(FrameE2E, ExitDuringADialogueEndsItAndTheProgram) {
    RunResult r = run({"--headless", "--screen", "1024x768", "--do",
                       "rclick 512 750; menu Button Box; wait-input; type 3; key Enter; idle; wait-input; exit; wait 5000"});
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_LT(r.seconds, 5.0);
    EXPECT_EQ(count("exit user-thread"), 1) << read_file(log_);
}
