// lenti render against the programs that interleave through windows: the
// frames reelmix records for a movie, the strips of pitchtest's chart, bad
// inputs that must leave nothing behind, and movie renders that end early.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "plat/capture/movie.h"
#include "plat/codecs/codecs.h"
#include "support/avi_frames.h"
#include "support/process.h"
#include "support/temp_folder.h"

using testsupport::read_file;
using testsupport::RunResult;
using testsupport::run_program;
namespace fs = std::filesystem;

namespace {

class LentiE2E : public ::testing::Test {
protected:
    void SetUp() override { dir_.folder("runtime"); }

    RunResult lenti(const std::vector<std::string>& args) { return run_program(LENTI_APP, args, {}, 60); }

    std::vector<std::string> files_in(const fs::path& folder) {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    // Runs pitchtest on `pair` with the actions `script` and gives the chart it saved.
    plat::Surface pitchtest_chart(const std::string& pair, const std::string& script) {
        fs::remove(dir_.file("lenti_chart.png"));
        const std::string line = "cd '" + dir_.str() + "' && exec '" + PITCHTEST_APP + "' --headless --pair '" + pair +
                                 "' --do '" + script + "'";
        RunResult r = run_program("/bin/sh", {"-c", line}, {"PLAT_RUNTIME_DIR=" + dir_.file("runtime")});
        EXPECT_EQ(r.exit_code, 0) << r.err;
        plat::Surface chart;
        EXPECT_TRUE(plat::load_png(dir_.file("lenti_chart.png"), chart).ok);
        return chart;
    }

    // A movie of 3 x 3 views from the sample generator.
    std::string grid_movie(const std::string& name, int w, int h, int frames) {
        const std::string movie = dir_.file(name);
        RunResult gen = run_program(GRID_MOVIE_APP, {movie, std::to_string(w), std::to_string(h), std::to_string(frames)});
        EXPECT_EQ(gen.exit_code, 0) << gen.err;
        return movie;
    }

    testsupport::TempFolder dir_{"lenti_"};
};

std::string frame_file(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "file_%05d.png", n);
    return name;
}

// Whether the process has a handler for SIGINT yet: before that, the signal
// would end it at once.
bool catches_sigint(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (SIGINT - 1)) & 1;
    return false;
}

// Frame `index` of the movie as reelmix decodes it, written as a PNG.
void save_movie_frame(const std::string& movie, int index, const std::string& png) {
    plat::MovieReader reader;
    ASSERT_TRUE(reader.open(movie)) << reader.error_text();
    plat::BgrFrame frame;
    for (int i = 0; i <= index; ++i) ASSERT_TRUE(reader.next_frame(frame));
    plat::Surface s(frame.width, frame.height);
    for (int y = 0; y < frame.height; ++y) {
        const std::uint8_t* p = frame.data + std::size_t(y) * frame.stride;
        for (int x = 0; x < frame.width; ++x, p += 3) s.row32(y)[x] = plat::rgb(p[2], p[1], p[0]);
    }
    ASSERT_TRUE(plat::save_png(s, png).ok);
}

}  // namespace

TEST_F(LentiE2E, GridFramesAreTheFramesReelmixRecords) {
    const std::string movie = dir_.file("views.avi");
    RunResult gen = run_program(GRID_MOVIE_APP, {movie, "192", "108", "3"});
    ASSERT_EQ(gen.exit_code, 0) << gen.err;
    fs::create_directories(dir_.file("rec"));
    RunResult rec = run_program(REELMIX_APP, {"--movie", movie, "--export", "--out", dir_.file("rec")},
                                {"PLAT_RUNTIME_DIR=" + dir_.file("runtime")}, 60);
    ASSERT_EQ(rec.exit_code, 0) << rec.err;
    for (int n : {0, 2}) {
        SCOPED_TRACE("frame " + std::to_string(n));
        const std::string frame = dir_.file("frame" + std::to_string(n) + ".png");
        const std::string out = dir_.file("lenti" + std::to_string(n) + ".png");
        save_movie_frame(movie, n, frame);
        RunResult r = lenti({"render", "--grid", "3x3", frame, "--size", "800x480", "--pitch", "17.381", "--views-used",
                             "6", "--aa", "on", "--out", out});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        char name[32];
        std::snprintf(name, sizeof name, "rec/file_%05d.png", n);
        const std::string recorded = read_file(dir_.file(name));
        ASSERT_FALSE(recorded.empty());
        EXPECT_TRUE(read_file(out) == recorded) << "lenti's file differs from reelmix's " << name;
    }
}

TEST_F(LentiE2E, MovieFramesAreTheFramesReelmixRecordsAndTheMovieHoldsThemAll) {
    constexpr int kFrames = 4;
    const std::string movie = grid_movie("views.avi", 192, 108, kFrames);
    fs::create_directories(dir_.file("rec"));
    RunResult rec = run_program(REELMIX_APP, {"--movie", movie, "--export", "--out", dir_.file("rec")},
                                {"PLAT_RUNTIME_DIR=" + dir_.file("runtime")}, 60);
    ASSERT_EQ(rec.exit_code, 0) << rec.err;
    const std::vector<std::string> settings = {"--grid", "3x3", "--size", "800x480", "--pitch", "17.381",
                                               "--views-used", "6", "--aa", "on"};
    auto render = [&](const std::string& out) {
        std::vector<std::string> args = {"render", "--movie", movie, "--out", out};
        args.insert(args.end(), settings.begin(), settings.end());
        return lenti(args);
    };
    // A folder that is not there yet is made.
    RunResult r = render(dir_.file("mine") + "/");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.err.find("4 frames to "), std::string::npos) << r.err;
    ASSERT_EQ(files_in(dir_.file("mine")), files_in(dir_.file("rec")));
    for (int n = 0; n < kFrames; ++n) {
        const std::string recorded = read_file(dir_.file("rec/" + frame_file(n)));
        ASSERT_FALSE(recorded.empty());
        EXPECT_TRUE(read_file(dir_.file("mine/" + frame_file(n))) == recorded) << "frame " << n << " differs";
    }

    const std::string avi = dir_.file("mine.avi");
    r = render(avi);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    plat::MovieReader reader;
    ASSERT_TRUE(reader.open(avi)) << reader.error_text();
    EXPECT_EQ(reader.frame_width(), 800);
    EXPECT_EQ(reader.frame_height(), 480);
    EXPECT_EQ(reader.frame_count(), kFrames);
    EXPECT_DOUBLE_EQ(reader.frame_rate(), 24.0);  // the sample movie's
    // Each frame is the recorded one but for the encoder's loss: colours in
    // their places, frames in their order.
    plat::BgrFrame f;
    for (int n = 0; n < kFrames; ++n) {
        ASSERT_TRUE(reader.next_frame(f)) << "frame " << n;
        ASSERT_EQ(f.width, 800);
        plat::Surface recorded;
        ASSERT_TRUE(plat::load_png(dir_.file("rec/" + frame_file(n)), recorded).ok);
        long long error = 0;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const std::uint8_t* p = f.data + std::size_t(y) * f.stride + 3 * std::size_t(x);
                const plat::Color c = recorded.pixel(x, y);
                error += std::abs(int(p[0]) - int(c & 0xFF)) + std::abs(int(p[1]) - int(c >> 8 & 0xFF)) +
                         std::abs(int(p[2]) - int(c >> 16 & 0xFF));
            }
        EXPECT_LT(double(error) / (3.0 * f.width * f.height), 6.0) << "frame " << n;
    }
    EXPECT_FALSE(reader.next_frame(f));
    // Nothing is left beside it.
    for (const std::string& name : files_in(dir_.path())) EXPECT_EQ(name.find(".movie-save"), std::string::npos) << name;
}

// pitchtest starts its strips at subpixel column 168; from the column where
// its one-column catch-up strips end, its pattern is the pass's from column 0.
TEST_F(LentiE2E, PairStripsAreTheStripsOfPitchtestsChart) {
    const std::string pair = dir_.file("pair.png");
    ASSERT_EQ(run_program(STEREO_PAIR_APP, {pair, "96", "40"}).exit_code, 0);
    const plat::Surface chart = pitchtest_chart(pair, "start; idle; button cap; idle; exit");
    ASSERT_FALSE(chart.is_null());
    constexpr int kW = 640, kH = 42, kFirstCompared = 100;
    for (int strip : {0, 1, 4, 19}) {
        const std::string pitch = std::to_string(8 + strip);
        SCOPED_TRACE("pitch " + pitch);
        const std::string out = dir_.file("strip" + pitch + ".tif");
        RunResult r = lenti({"render", "--pair", pair, "--size", "640x42", "--pitch", pitch, "--out", out, "--dpi", "300"});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        plat::Surface mine;
        ASSERT_TRUE(plat::load_image(out, mine).ok);
        ASSERT_EQ(mine.width(), kW);
        ASSERT_EQ(mine.height(), kH);
        int differing = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = kFirstCompared; x < kW; ++x) differing += mine.pixel(x, y) != chart.pixel(x, kH * strip + y);
        EXPECT_EQ(differing, 0);
    }
    // The resolution asked for is in the file: 300 dpi is 11811 pixels a metre.
    const std::string png = dir_.file("dpi.png");
    ASSERT_EQ(lenti({"render", "--pair", pair, "--pitch", "8", "--dpi", "300", "--out", png}).exit_code, 0);
    EXPECT_NE(read_file(png).find(std::string("pHYs\0\0\x2e\x23\0\0\x2e\x23\x01", 13)), std::string::npos);
}

TEST_F(LentiE2E, BadInputsSayWhyInOneLineAndLeaveTheOutputAlone) {
    const std::string a = dir_.file("a.png"), b = dir_.file("b.png"), odd = dir_.file("odd.png");
    ASSERT_TRUE(plat::save_png(plat::Surface(60, 30), a).ok);
    ASSERT_TRUE(plat::save_png(plat::Surface(60, 31), b).ok);
    ASSERT_TRUE(plat::save_png(plat::Surface(100, 100), odd).ok);
    const std::string out = dir_.file("out.png");
    struct Case {
        const char* what;
        std::vector<std::string> args;
        int exit_code;
        const char* says;
    };
    const std::vector<std::string> ten(10, a);
    std::vector<std::string> ten_views = {"render", "--pitch", "8", "--out", out, "--views"};
    ten_views.insert(ten_views.end(), ten.begin(), ten.end());
    const std::string movie = grid_movie("views.avi", 192, 108, 2), text = dir_.file("notes.txt");
    std::ofstream(text) << "not a movie";
    const std::string frames = dir_.file("frames") + "/", avi = dir_.file("out.avi");
    const Case cases[] = {
        {"a movie without a grid", {"render", "--movie", movie, "--pitch", "8", "--out", frames}, 2, "needs --grid"},
        {"a movie and a pair", {"render", "--movie", movie, "--pair", a, "--pitch", "8", "--out", frames}, 2,
         "not --pair or --views"},
        {"a movie and a grid picture", {"render", "--movie", movie, "--grid", "3x3", a, "--pitch", "8", "--out", avi},
         2, "give the views once"},
        {"a movie into one picture", {"render", "--movie", movie, "--grid", "3x3", "--pitch", "8", "--out", out}, 2,
         "a folder (--out DIR/)"},
        {"a folder for one picture", {"render", "--pair", a, "--pitch", "8", "--out", frames}, 2, "is for a movie"},
        {"a missing movie", {"render", "--movie", dir_.file("no.avi"), "--grid", "3x3", "--pitch", "8", "--out", avi},
         1, "no.avi: no such file"},
        {"not a movie", {"render", "--movie", text, "--grid", "3x3", "--pitch", "8", "--out", frames}, 1,
         "not a movie file"},
        {"frames the grid does not divide (folder)",
         {"render", "--movie", movie, "--grid", "5x1", "--pitch", "8", "--out", frames}, 1,
         "a 5x1 grid does not divide frame 0 of"},
        {"frames the grid does not divide (movie)",
         {"render", "--movie", movie, "--grid", "1x5", "--pitch", "8", "--out", avi}, 1, "out.avi was not written"},
        {"a movie into a folder that is not there",
         {"render", "--movie", movie, "--grid", "3x3", "--pitch", "8", "--out", dir_.file("no/o.avi")}, 1,
         "cannot write"},
        {"views of different sizes", {"render", "--views", a, b, "--pitch", "8", "--out", out}, 1, "differ in size"},
        {"a grid that does not divide", {"render", "--grid", "3x3", odd, "--pitch", "8", "--out", out}, 1,
         "does not divide"},
        {"no views", {"render", "--views", "--pitch", "8", "--out", out}, 2, "2 to 9 files, not 0"},
        {"ten views", ten_views, 2, "2 to 9 files, not 10"},
        {"a grid of ten", {"render", "--grid", "5x2", a, "--pitch", "8", "--out", out}, 2, "2 to 9 views, not 10"},
        {"pitch 0", {"render", "--pair", a, "--pitch", "0", "--out", out}, 2, "--pitch must be"},
        {"a missing file", {"render", "--pair", dir_.file("nowhere.png"), "--pitch", "8", "--out", out}, 1,
         "cannot read"},
        {"more views used than given", {"render", "--pair", a, "--pitch", "8", "--views-used", "3", "--out", out}, 2,
         "only 2 views"},
        {"an output type it cannot write", {"render", "--pair", a, "--pitch", "8", "--out", dir_.file("o.jpg")}, 2,
         ".png, .tif or .tiff"},
        {"a folder that is not there", {"render", "--pair", a, "--pitch", "8", "--out", dir_.file("no/o.png")}, 1,
         "cannot write"},
        {"an unknown command", {"draw"}, 2, "unknown command"},
    };
    std::ofstream(out) << "earlier";
    const std::vector<std::string> before = files_in(dir_.path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunResult r = lenti(c.args);
        EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(read_file(out), "earlier");
        EXPECT_EQ(files_in(dir_.path()), before);
    }
}

TEST_F(LentiE2E, EveryCommandExplainsItself) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"render", "--help"}, {"chart", "--help"}}) {
        RunResult r = lenti(args);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_NE(r.out.find("usage: lenti"), std::string::npos) << r.out;
    }
    EXPECT_EQ(lenti({}).exit_code, 2);
}

// The chart with pitchtest's defaults, and with values typed into its input
// box ("go" then redraws the last strip's pattern at the next pitch before
// "cap" saves, so that strip is left out).
TEST_F(LentiE2E, ChartsAreTheChartsPitchtestSaves) {
    const std::string pair = dir_.file("pair.png");
    ASSERT_EQ(run_program(STEREO_PAIR_APP, {pair, "96", "40"}).exit_code, 0);
    struct Case {
        const char* script;
        std::vector<std::string> values;
        int strips_compared;
    };
    const Case cases[] = {
        {"start; idle; button cap; idle; exit", {}, 22},
        {"start; idle; field 0 12.5; field 1 0.3; field 2 5; button go; idle; button cap; idle; exit",
         {"--from", "12.5", "--step", "0.3", "--count", "5"}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const plat::Surface chart = pitchtest_chart(pair, c.script);
        ASSERT_FALSE(chart.is_null());
        std::vector<std::string> args = {"chart", "--pair", pair, "--out", dir_.file("chart.png")};
        args.insert(args.end(), c.values.begin(), c.values.end());
        RunResult r = lenti(args);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        plat::Surface mine;
        ASSERT_TRUE(plat::load_png(dir_.file("chart.png"), mine).ok);
        ASSERT_EQ(mine.size(), chart.size());
        int differing = 0;
        for (int y = 0; y < 42 * c.strips_compared && y < chart.height(); ++y)
            for (int x = 0; x < chart.width(); ++x) differing += mine.pixel(x, y) != chart.pixel(x, y);
        EXPECT_EQ(differing, 0);
    }
}

// Frames that cannot be decoded are passed over; a signal stops the render
// after the frame in hand: numbered frames stay whole, a movie is not left
// half-written and whatever had its name is untouched.
TEST_F(LentiE2E, MovieRendersThatEndEarlySayHowFarTheyGot) {
    const std::vector<std::string> settings = {"--grid", "3x3", "--size", "800x480", "--pitch", "17.381"};
    auto render = [&](const std::string& movie, const std::string& out, bool interrupt) {
        std::vector<std::string> args = {"render", "--movie", movie, "--out", out};
        args.insert(args.end(), settings.begin(), settings.end());
        std::thread stopper;
        const std::string first = dir_.file("stopped/" + frame_file(0));
        RunResult r = run_program(LENTI_APP, args, {}, 60, [&](pid_t pid) {
            if (!interrupt) return;
            stopper = std::thread([pid, first] {
                // Part-way: once the handler is in and the first frame is written or the movie begun.
                for (int t = 0; t < 5000 && !catches_sigint(pid); ++t)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                for (int t = 0; t < 5000 && !fs::exists(first); ++t)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                kill(pid, SIGINT);
            });
        });
        if (stopper.joinable()) stopper.join();
        return r;
    };

    const std::string movie = grid_movie("views.avi", 192, 108, 6);
    std::string bytes = read_file(movie);
    const std::vector<testsupport::Span> spans = testsupport::avi_frames(bytes);
    ASSERT_EQ(spans.size(), 6u);
    std::fill_n(bytes.begin() + long(spans[2].offset + spans[2].size / 2), spans[2].size / 2, '\0');
    std::ofstream(dir_.file("spoilt.avi"), std::ios::binary) << bytes;
    RunResult r = render(dir_.file("spoilt.avi"), dir_.file("gap/"), false);
    EXPECT_EQ(r.exit_code, 3) << r.err;
    EXPECT_NE(r.err.find("lenti render: 5 of 6 frames written; 1 frame could not be decoded"), std::string::npos) << r.err;
    EXPECT_EQ(files_in(dir_.file("gap")), (std::vector<std::string>{frame_file(0), frame_file(1), frame_file(3),
                                                                     frame_file(4), frame_file(5)}));

    constexpr int kLong = 200;
    const std::string long_movie = grid_movie("long.avi", 192, 108, kLong);
    r = render(long_movie, dir_.file("stopped/"), true);
    ASSERT_EQ(r.exit_code, 3) << r.err;
    const std::vector<std::string> kept = files_in(dir_.file("stopped"));
    ASSERT_GT(kept.size(), 0u);
    ASSERT_LT(kept.size(), std::size_t(kLong));
    EXPECT_NE(r.err.find(std::to_string(kept.size()) + " of 200 frames written; stopped before the end"),
              std::string::npos) << r.err;
    for (std::size_t n = 0; n < kept.size(); ++n) {
        EXPECT_EQ(kept[n], frame_file(int(n)));
        plat::Surface frame;
        EXPECT_TRUE(plat::load_png(dir_.file("stopped/" + kept[n]), frame).ok) << kept[n];
    }

    const std::string avi = dir_.file("stopped.avi");
    std::ofstream(avi) << "earlier";
    fs::create_directories(dir_.file("stopped"));  // the stopper waits for its first frame
    const std::vector<std::string> before = files_in(dir_.path());
    r = render(long_movie, avi, true);
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_NE(r.err.find("of 200; " + avi + " was not written"), std::string::npos) << r.err;
    EXPECT_EQ(read_file(avi), "earlier");
    EXPECT_EQ(files_in(dir_.path()), before);
}
