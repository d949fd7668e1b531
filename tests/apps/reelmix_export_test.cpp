// reelmix --export on movies with frames that cannot be decoded, into
// folders named in any script or holding frames of earlier runs, and stopped
// by signals: the exit code and the closing lines tell the truth about the
// files on disk.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <thread>

#include "plat/codecs/codecs.h"
#include "support/avi_frames.h"
#include "support/process.h"
#include "support/text_on_screen.h"
#include "support/temp_folder.h"

using testsupport::read_file;
using testsupport::RunResult;
using testsupport::run_program;
namespace fs = std::filesystem;

namespace {

class ReelmixExport : public ::testing::Test {
protected:
    void SetUp() override { dir_.folder("runtime"); }

    std::string make_movie(const std::string& name, int frames) {
        const std::string path = dir_.file(name);
        RunResult gen = run_program(GRID_MOVIE_APP, {path, "192", "110", std::to_string(frames)});
        EXPECT_EQ(gen.exit_code, 0) << gen.err;
        return path;
    }
    // A copy of `movie` spoilt by `spoil`, which is given the file's bytes and its frames.
    std::string spoilt(const std::string& movie, const std::string& name,
                       const std::function<void(std::string&, const std::vector<testsupport::Span>&)>& spoil) {
        std::string bytes = read_file(movie);
        spoil(bytes, testsupport::avi_frames(bytes));
        std::ofstream(dir_.file(name), std::ios::binary) << bytes;
        return dir_.file(name);
    }
    RunResult run(const std::vector<std::string>& args, const std::function<void(pid_t)>& on_start = nullptr) {
        return run_program(REELMIX_APP, args,
                           {"PLAT_RUNTIME_DIR=" + dir_.file("runtime"), "PLAT_DRIVE_ROOT=" + dir_.file("drive")}, 60,
                           on_start);
    }
    RunResult export_to(const std::string& movie, const std::string& out,
                        const std::function<void(pid_t)>& on_start = nullptr) {
        fs::create_directories(out);
        return run({"--movie", movie, "--export", "--out", out}, on_start);
    }
    static std::vector<std::string> files_in(const fs::path& folder) {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(folder))
            if (e.is_regular_file() && !e.is_symlink()) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
    static std::string frame_file(int n) {
        char name[32];
        std::snprintf(name, sizeof name, "file_%05d.png", n);
        return name;
    }

    testsupport::TempFolder dir_{"export_"};
};

}  // namespace

TEST_F(ReelmixExport, FramesThatCannotBeDecodedArePassedOverNamedAndCounted) {
    const std::string movie = make_movie("views.avi", 12);
    ASSERT_EQ(export_to(movie, dir_.file("whole")).exit_code, 0);
    struct Damage {
        const char* what;
        std::function<void(std::string&, const std::vector<testsupport::Span>&)> spoil;
        std::vector<int> lost;
        std::string line;
    };
    const Damage cases[] = {
        {"random bytes",
         [](std::string& b, const auto& f) {
             std::mt19937 rng(6);
             for (std::size_t i = 0; i < f[6].size; ++i) b[f[6].offset + i] = char(rng());
         },
         {6}, "11 of 12 frames written; frame 6 could not be decoded"},
        {"cut JPEGs",
         [](std::string& b, const auto& f) {
             for (int n : {3, 8}) std::fill_n(b.begin() + long(f[n].offset + f[n].size / 2), f[n].size / 2, '\0');
         },
         {3, 8}, "10 of 12 frames written; frames 3, 8 could not be decoded"},
        {"cut short", [](std::string& b, const auto& f) { b.resize(f[8].offset + f[8].size / 2); }, {8, 9, 10, 11},
         "8 of 12 frames written; frames 8 to 11 could not be decoded"},
    };
    for (const Damage& d : cases) {
        SCOPED_TRACE(d.what);
        const fs::path out = dir_.path() / d.what;
        RunResult r = export_to(spoilt(movie, std::string(d.what) + ".avi", d.spoil), out);
        EXPECT_EQ(r.exit_code, 3) << r.err;
        EXPECT_NE(r.err.find("reelmix: " + d.line + "\n"), std::string::npos) << r.err;
        std::vector<std::string> want;
        for (int n = 0; n < 12; ++n)
            if (std::find(d.lost.begin(), d.lost.end(), n) == d.lost.end()) want.push_back(frame_file(n));
            else EXPECT_NE(r.err.find("frame " + std::to_string(n) + " could not be decoded; going on"), std::string::npos);
        ASSERT_EQ(files_in(out), want);
        // Every frame that was written is the frame of that number: nothing moved up into the gap.
        for (const std::string& f : want) EXPECT_EQ(read_file((out / f).string()), read_file(dir_.file("whole/" + f))) << f;
    }
}

TEST_F(ReelmixExport, ASignalAtAnyMomentEndsTheExportWithTheTruth) {
    const std::string movie = make_movie("views.avi", 24);
    for (int i = 0; i < 8; ++i) {
        const int delay_ms = 50 * i, signal = i % 2 ? SIGINT : SIGTERM;
        SCOPED_TRACE("signal " + std::to_string(signal) + " " + std::to_string(delay_ms) + " ms after start-up");
        const fs::path out = dir_.path() / ("run" + std::to_string(i));
        std::thread killer;
        RunResult r = export_to(movie, out.string(), [&](pid_t pid) {
            killer = std::thread([=] {
                for (int t = 0; t < 5000 && !testsupport::takes_stop_signals(pid); ++t)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
                kill(pid, signal);
            });
        });
        killer.join();
        const int files = int(files_in(out).size());
        if (r.exit_code == 0) {
            EXPECT_EQ(files, 24) << r.err;
        } else {
            EXPECT_TRUE(r.exit_code == 1 || r.exit_code == 3) << r.exit_code << r.err;
            EXPECT_NE(r.err.find(std::to_string(files) + " of 24 frames written"), std::string::npos) << r.err;
        }
    }
}

TEST_F(ReelmixExport, FoldersAreTheSystemsNamesAndFailuresSayWhy) {
    const std::string movie = make_movie("views.avi", 6);
    const fs::path named = dir_.path() / "ßü 한글 😀";
    RunResult r = export_to(movie, named.string());
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(files_in(named).size(), 6u);

    const fs::path full = dir_.path() / "full";
    fs::create_directories(full);
    fs::create_symlink("/dev/full", full / frame_file(2));
    r = export_to(movie, full.string());
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("cannot save frame 2 as " + (full / frame_file(2)).string() +
                         ": cannot write file: No space left on device"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(std::to_string(files_in(full).size()) + " of 6 frames written"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_symlink(full / frame_file(2)));

    const fs::path earlier = dir_.path() / "earlier";
    fs::create_directories(earlier);
    for (int n : {3, 7, 9}) std::ofstream(earlier / frame_file(n)) << "an earlier run";
    r = export_to(movie, earlier.string());
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.err.find(earlier.string() + " also holds frames 7, 9 that this export did not write; they are left as they are"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(read_file((earlier / frame_file(9)).string()), "an earlier run");
}

TEST_F(ReelmixExport, MoviesThatAreNotFilesAreRefusedWithOneLine) {
    const std::string fifo = dir_.file("pipe.avi");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string movie;
        int code;  // of an export; playing, a missing movie leaves the program running
        const char* why;
        bool play_too;
    };
    const Case cases[] = {{fifo, 2, "not a regular file", true},
                          {dir_.str(), 2, "a folder, not a movie file", false},
                          {"/dev/zero", 2, "not a regular file", false},
                          {dir_.file("missing.avi"), 1, "no such file", true}};
    for (const auto& [movie, code, why, play_too] : cases) {
        for (const bool exporting : {true, false}) {
            if (!exporting && !play_too) continue;
            RunResult r = exporting ? export_to(movie, dir_.file("out")) : run({"--headless", "--movie", movie, "--do", "idle"});
            ASSERT_FALSE(r.timed_out) << movie;
            EXPECT_EQ(r.exit_code, exporting || code == 2 ? code : 0) << movie << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
            EXPECT_NE(r.err.find("cannot open the movie '" + movie + "': " + why), std::string::npos) << r.err;
        }
    }
}

// Playing, REC records into --out as the system names it (not through the
// library's code page), passes over the bad frame, says so once on stderr and
// in the text window, and plays on. The screenshot waits for Stop: while a
// frame is shown the text window is cleared and written again, and a picture
// taken in between would miss the line.
TEST_F(ReelmixExport, PlaybackPassesOverABadFrameAndSaysSoInTheTextWindow) {
    const std::string movie = spoilt(make_movie("views.avi", 6), "bad.avi", [](std::string& b, const auto& f) {
        std::fill_n(b.begin() + long(f[2].offset), f[2].size, '\x5a');
    });
    const std::string shot = dir_.file("shot.png");
    const fs::path out = dir_.path() / "ßü 😀";
    fs::create_directories(out);
    RunResult r = run({"--headless", "--movie", movie, "--out", out.string(), "--do",
                       "start; wait 300; button REC; wait 4000; stop; idle; screenshot " + shot + "; exit"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "reelmix: frame 2 could not be decoded; going on with the next\n");
    EXPECT_EQ(files_in(out), (std::vector<std::string>{frame_file(0), frame_file(1), frame_file(3), frame_file(4),
                                                        frame_file(5)}));
    plat::Surface screen;
    ASSERT_TRUE(plat::load_png(shot, screen).ok);
    // The text window (at 672, 0) wraps its lines after 19 cells.
    EXPECT_TRUE(testsupport::shows_text_lines(screen, plat::Rect{672, 0, 824, 469},
                                              {"5 of 6 frames writt", "en; frame 2 could n", "ot be decoded"}));
}
