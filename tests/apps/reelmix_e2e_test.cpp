// reelmix run headless as a person (or a batch job) would use it, on a small
// generated movie; the recorded frames are checked against the movie's frames
// resampled here and interleaved by the literal reference pass.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "lenticular_fixture.h"
#include "mavlib.h"
#include "movie_source.h"
#include "plat/codecs/codecs.h"
#include "reference_interleave.h"
#include "support/process.h"
#include "support/text_on_screen.h"
#include "support/temp_folder.h"

using testsupport::RunResult;
using testsupport::run_program;
namespace fs = std::filesystem;

namespace {

constexpr int kFrames = 6;
constexpr int kMovieW = 192, kMovieH = 110;  // cells of 64 x 36; the last two rows are never used

struct Look {
    int W = 800, H = 480, view_num = 6;
    double pitch = 17.381;
    int AA = 1, lenticular = 0;
};

// One decoded frame as 0x00RRGGBB pixels.
struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint32_t> px;
};

std::vector<Picture> decode_movie(const std::string& path) {
    reelmix::MovieSource movie;
    EXPECT_TRUE(movie.open(path));
    std::vector<Picture> frames;
    reelmix::BgrFrame f;
    while (movie.next_frame(f)) {
        Picture p{f.width, f.height, {}};
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const std::uint8_t* b = f.data + std::size_t(y) * f.stride + 3u * x;
                p.px.push_back(b[0] | b[1] << 8 | b[2] << 16);
            }
        frames.push_back(std::move(p));
    }
    return frames;
}

// What "Hello,there!" shows for a frame: the frame cut to whole cell rows,
// every cell stretched to a 3W x H tile, one reference pass over a fresh
// output. With `poison_bottom_row` the bottom row of tiles is filled with a
// colour the movie does not have: with at most six views it must not show.
plat::Surface expected_output(const Picture& frame, const Look& k, bool poison_bottom_row) {
    lentest::ensure_library_classes();
    const int camera_h = 3 * (frame.height / 3);
    const double xs = double(frame.width / 3) / (3.0 * k.W), ys = double(frame.height / 3) / double(k.H);
    MAV_DestroyImage(1);
    MAV_DestroyImage(2);
    EXPECT_EQ(MAV_CreateImageFL(1, "work", 0, 0, 9 * k.W, 3 * k.H, 10), 0);
    EXPECT_EQ(MAV_CreateImageFL(2, "out", 0, 0, k.W, k.H, 100), 0);
    auto* work = static_cast<std::uint32_t*>(mav_bits[1]);
    for (int y = 0; y < 3 * k.H; ++y)
        for (int x = 0; x < 9 * k.W; ++x) {
            const int sx = int(std::trunc(x * xs)), sy = int(std::trunc(y * ys));
            std::uint32_t v = sx < frame.width && sy < camera_h ? frame.px[std::size_t(sy) * frame.width + sx] : 0;
            if (poison_bottom_row && y >= 2 * k.H) v = 0xFF00FF;
            work[std::size_t(y) * 9 * k.W + x] = v;
        }
    LenticularParams p;
    p.pitch = k.pitch;
    p.view_num = k.view_num;
    p.pic_num = 9;
    p.AA = k.AA;
    p.lenticular = k.lenticular;
    InterleaveTarget t;
    t.source = 1;
    t.output = 2;
    t.width = k.W;
    t.height = k.H;
    t.layout = ViewLayout::Grid3x3;
    reference::interleave_pass(p, t);
    plat::Surface out(k.W, k.H);
    const auto* px = static_cast<const std::uint32_t*>(mav_bits[2]);
    for (int y = 0; y < k.H; ++y)
        for (int x = 0; x < k.W; ++x) out.set_pixel(x, y, px[std::size_t(y) * k.W + x]);
    return out;
}

class ReelmixE2E : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.folder("runtime");
        fs::create_directories(bmp());
        movie_ = dir_.file("views.avi");
        RunResult gen = run_program(GRID_MOVIE_APP, {movie_, std::to_string(kMovieW), std::to_string(kMovieH),
                                                     std::to_string(kFrames)});
        ASSERT_EQ(gen.exit_code, 0) << gen.err;
        frames_ = decode_movie(movie_);
        ASSERT_EQ(int(frames_.size()), kFrames);
    }
    fs::path bmp() const { return dir_.path() / "drive" / "c" / "bmp"; }

    RunResult run(std::vector<std::string> args) {
        std::string script = "cd '" + dir_.str() + "' && exec '" + REELMIX_APP + "'";
        for (auto& a : args) script += " '" + a + "'";
        return run_program("/bin/sh", {"-c", script},
                           {"PLAT_RUNTIME_DIR=" + dir_.file("runtime"), "PLAT_DRIVE_ROOT=" + dir_.file("drive")},
                           120);
    }
    RunResult play(const std::string& actions) { return run({"--headless", "--movie", movie_, "--do", actions}); }

    static std::vector<std::string> names_in(const fs::path& folder) {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
    static std::vector<std::string> frame_names(std::initializer_list<int> numbers) {
        std::vector<std::string> out;
        for (int n : numbers) {
            char name[32];
            std::snprintf(name, sizeof name, "file_%05d.png", n);
            out.push_back(name);
        }
        return out;
    }
    static std::vector<std::string> whole_pass() { return frame_names({0, 1, 2, 3, 4, 5}); }

    // Pixels of a recorded file that differ from what the frame should give.
    static long differing(const fs::path& file, const plat::Surface& want) {
        plat::Surface got;
        const plat::IoResult r = plat::load_png(file.string(), got);
        EXPECT_TRUE(r.ok) << file << ": " << r.message;
        if (!r.ok || got.size() != want.size()) {
            ADD_FAILURE() << file << " is " << got.width() << " x " << got.height();
            return -1;
        }
        long n = 0;
        for (int y = 0; y < want.height(); ++y)
            for (int x = 0; x < want.width(); ++x) n += got.pixel(x, y) != want.pixel(x, y);
        return n;
    }

    testsupport::TempFolder dir_{"reelmix_"};
    std::string movie_;
    std::vector<Picture> frames_;
};

}  // namespace

TEST_F(ReelmixE2E, RecPressRecordsExactlyOnePassFromTheFirstFrame) {
    RunResult r = play("start; wait 300; button REC; wait 4000; stop; idle; exit");
    ASSERT_FALSE(r.timed_out);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(names_in(bmp()), whole_pass());
    const Look defaults;
    EXPECT_EQ(differing(bmp() / "file_00000.png", expected_output(frames_[0], defaults, true)), 0);
    EXPECT_EQ(differing(bmp() / "file_00005.png", expected_output(frames_[5], defaults, true)), 0);
}

TEST_F(ReelmixE2E, InputBoxAndButtonsShapeTheRecordingAndOutOfRangeEntriesAreHeldBack) {
    // Field 0 is shown at (514, 28) on the screen: the box's client starts at
    // (426, 24) and its fields 88 pixels further right.
    const plat::Rect width_field = plat::Rect::from_xywh(514, 28, 70, 24);
    RunResult r = play("start; field 0 240; field 1 150; field 3 3; button AA; button rev; field 4 9.5; wait 300; "
                       "idle; screenshot accepted.png; field 0 2000; field 3 0; field 4 0; wait 300; idle; "
                       "screenshot refused.png; button REC; wait 3000; stop; idle; exit");
    ASSERT_FALSE(r.timed_out);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(names_in(bmp()), whole_pass());
    Look k;
    k.W = 240;
    k.H = 150;
    k.view_num = 3;  // 0 was held back
    k.pitch = 9.5;   // and so was pitch 0
    k.AA = 0;
    k.lenticular = 1;
    EXPECT_EQ(differing(bmp() / "file_00000.png", expected_output(frames_[0], k, false)), 0);
    // 2000 was refused and the field shows the width in use again.
    plat::Surface accepted, refused;
    ASSERT_TRUE(plat::load_png(dir_.file("accepted.png"), accepted).ok);
    ASSERT_TRUE(plat::load_png(dir_.file("refused.png"), refused).ok);
    long changed = 0;
    for (int y = width_field.top; y < width_field.bottom; ++y)
        for (int x = width_field.left; x < width_field.right; ++x) changed += accepted.pixel(x, y) != refused.pixel(x, y);
    EXPECT_EQ(changed, 0) << "the Width field should show 240 again";
}

// Sizes typed at a person's pace pass through values whose windows the
// screen cannot show (Height 1 and 12 on the way to 120): each is refused
// and named in the text window, the images keep the last good size, and
// playback and recording go on at the size that is finally typed.
TEST_F(ReelmixE2E, TypedSizesTheScreenCannotShowAreHeldBackAndNamed) {
    const struct {
        std::string field;   // the action
        int W, H;            // the output's size after it
        std::string refused; // the text window's line, when one is named
        bool save_work;      // "work" is saved too (large: not after every step)
    } steps[] = {
        {"field 1 1", 800, 480, "Height 1 refused:", true},
        {"field 1 12", 800, 480, "Height 12 refused:", false},
        {"field 1 120", 800, 120, "", true},
        {"field 0 1", 800, 120, "Width 1 refused:", false},
        {"field 0 640", 640, 120, "", true},
    };
    std::string actions = "start; wait 300; ";
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const std::string n = std::to_string(i);
        // Stopped after its frame, the program shows that frame's text for the screenshot.
        actions += steps[i].field + "; wait 300; stop; idle; screenshot shot" + n + ".png; save-image 2 out" + n + ".png; ";
        if (steps[i].save_work) actions += "save-image 1 work" + n + ".png; ";
        actions += "start; ";
    }
    RunResult r = play(actions + "button REC; wait 3000; stop; idle; exit");
    ASSERT_FALSE(r.timed_out);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const plat::Rect text_window = plat::Rect::from_xywh(672, 0, 152, 469);
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const auto& step = steps[i];
        const std::string n = std::to_string(i);
        plat::Surface out, work, shot;
        ASSERT_TRUE(plat::load_png(dir_.file("out" + n + ".png"), out).ok) << step.field;
        ASSERT_TRUE(plat::load_png(dir_.file("shot" + n + ".png"), shot).ok) << step.field;
        EXPECT_EQ(out.size(), (plat::Size{step.W, step.H})) << step.field;
        if (step.save_work) {
            ASSERT_TRUE(plat::load_png(dir_.file("work" + n + ".png"), work).ok) << step.field;
            EXPECT_EQ(work.size(), (plat::Size{9 * step.W, 3 * step.H})) << step.field;
        }
        if (!step.refused.empty()) {
            EXPECT_TRUE(testsupport::shows_text_lines(shot, text_window, {step.refused, "cannot be shown"}))
                << step.field;
        }
    }
    Look k;
    k.W = 640;
    k.H = 120;
    EXPECT_EQ(names_in(bmp()), whole_pass());
    EXPECT_EQ(differing(bmp() / "file_00000.png", expected_output(frames_[0], k, true)), 0);
}

TEST_F(ReelmixE2E, AFrameThatCannotBeSavedIsSkippedAndWithoutTheFolderNothingIsWritten) {
    fs::create_directories(bmp() / "file_00002.png");  // a folder where that frame's file would go
    RunResult r = play("start; wait 300; button REC; wait 4000; stop; idle; exit");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(names_in(bmp()), whole_pass()) << "every other frame is there";
    EXPECT_TRUE(fs::is_directory(bmp() / "file_00002.png"));

    fs::remove_all(bmp());
    RunResult none = play("start; wait 300; button REC; wait 1500; stop; idle; exit");
    ASSERT_EQ(none.exit_code, 0) << none.err;
    EXPECT_FALSE(fs::exists(bmp()));
}

TEST_F(ReelmixE2E, ExportWritesOnePassAndExits) {
    const fs::path out = dir_.path() / "frames";
    fs::create_directories(out);
    RunResult r = run({"--movie", movie_, "--export", "--out", out.string()});
    ASSERT_FALSE(r.timed_out);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(names_in(out), whole_pass());
    EXPECT_NE(r.err.find("frame 6 of 6"), std::string::npos) << r.err;
    const Look defaults;
    EXPECT_EQ(differing(out / "file_00000.png", expected_output(frames_[0], defaults, false)), 0);
    EXPECT_EQ(differing(out / "file_00005.png", expected_output(frames_[5], defaults, false)), 0);
    EXPECT_TRUE(names_in(bmp()).empty()) << "nothing goes to c:\\bmp with --out";
}

TEST_F(ReelmixE2E, ExportRefusesWhatItCannotDoWithOneLine) {
    const fs::path out = dir_.path() / "frames";
    fs::create_directories(out);
    auto one_line = [](const std::string& s) { return std::count(s.begin(), s.end(), '\n') == 1; };

    const fs::path text = dir_.path() / "views.txt";
    std::FILE* f = std::fopen(text.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("nine views, honestly\n", f);
    std::fclose(f);
    RunResult not_movie = run({"--movie", text.string(), "--export", "--out", out.string()});
    EXPECT_NE(not_movie.exit_code, 0);
    EXPECT_NE(not_movie.err.find("cannot open the movie"), std::string::npos) << not_movie.err;
    EXPECT_TRUE(one_line(not_movie.err)) << not_movie.err;

    RunResult no_movie = run({"--export"});
    EXPECT_EQ(no_movie.exit_code, 2);
    EXPECT_NE(no_movie.err.find("--export needs --movie"), std::string::npos) << no_movie.err;

    RunResult no_folder = run({"--movie", movie_, "--export", "--out", dir_.file("missing")});
    EXPECT_NE(no_folder.exit_code, 0);
    EXPECT_NE(no_folder.err.find("does not exist"), std::string::npos) << no_folder.err;
    EXPECT_TRUE(names_in(out).empty());

    fs::create_directories(out / "file_00003.png");  // frame 3 cannot be written
    RunResult unsavable = run({"--movie", movie_, "--export", "--out", out.string()});
    EXPECT_EQ(unsavable.exit_code, 1);
    EXPECT_NE(unsavable.err.find("cannot save frame 3 as " + (out / "file_00003.png").string()), std::string::npos)
        << unsavable.err;
}

TEST_F(ReelmixE2E, WithoutAMovieStartAndStopStillWork) {
    RunResult r = run({"--headless", "--do", "start; wait 200; stop; idle; start; wait 100; stop; idle; exit"});
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(names_in(bmp()).empty());
}
