// lenti simulate on pictures lenti render makes from flat-coloured views:
// through a sheet of the render's pitch every eye sees its own view, with a
// sheet a few percent off the view seen changes across the picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>

#include "plat/codecs/codecs.h"
#include "support/process.h"
#include "support/temp_folder.h"

using testsupport::RunResult;
using testsupport::run_program;
namespace fs = std::filesystem;

namespace {

// Colours that differ from each other in every channel, so that each
// subpixel tells its view.
plat::Color view_colour(int v) { return plat::rgb(20 + 40 * v, 220 - 40 * v, 20 + 40 * ((v + 3) % 6)); }

int nearest_view(plat::Color c, int views) {
    int best = 0;
    long best_distance = -1;
    for (int v = 0; v < views; ++v) {
        const plat::Color w = view_colour(v);
        long d = 0;
        for (int shift : {0, 8, 16}) {
            const long e = long((c >> shift) & 0xFF) - long((w >> shift) & 0xFF);
            d += e * e;
        }
        if (best_distance < 0 || d < best_distance) best = v, best_distance = d;
    }
    return best;
}

// The view most pixels of each of `stripes` vertical stripes of an eye's
// picture are closest to, counting only pixels well inside the sheet.
std::vector<int> dominant_views(const plat::Surface& seen, int views, int stripes) {
    std::vector<int> out;
    const int width = seen.width() / stripes;
    for (int i = 0; i < stripes; ++i) {
        std::vector<int> count(std::size_t(views), 0);
        for (int y = 0; y < seen.height(); ++y)
            for (int x = i * width; x < (i + 1) * width; ++x)
                if (3 * x - y > 3) ++count[std::size_t(nearest_view(seen.pixel(x, y) & 0xFFFFFFu, views))];
        out.push_back(int(std::max_element(count.begin(), count.end()) - count.begin()));
    }
    return out;
}

class LentiSimulate : public ::testing::Test {
protected:
    RunResult lenti(const std::vector<std::string>& args) { return run_program(LENTI_APP, args, {}, 60); }

    std::vector<std::string> make_views(int n) {
        std::vector<std::string> files;
        for (int v = 0; v < n; ++v) {
            plat::Surface s(60, 40);
            s.fill(view_colour(v));
            files.push_back(dir_.file("view" + std::to_string(v + 1) + ".png"));
            EXPECT_TRUE(plat::save_png(s, files.back()).ok);
        }
        return files;
    }

    testsupport::TempFolder dir_{"lenti_sim_"};
};

}  // namespace

TEST_F(LentiSimulate, EveryEyeSeesItsOwnViewAtTheRendersPitchAndBandsWhenTheSheetIsOff) {
    struct Case {
        int views;
        double pitch;
    };
    for (const Case c : {Case{4, 29.3}, Case{6, 40.0}}) {
        SCOPED_TRACE(std::to_string(c.views) + " views, pitch " + std::to_string(c.pitch));
        const std::vector<std::string> views = make_views(c.views);
        const std::string picture = dir_.file("lenti.png");
        std::vector<std::string> render = {"render", "--aa", "off", "--pitch", std::to_string(c.pitch), "--size",
                                           "240x120", "--out", picture, "--views"};
        render.insert(render.end(), views.begin(), views.end());
        RunResult r = lenti(render);
        ASSERT_EQ(r.exit_code, 0) << r.err;

        for (const double sheet : {c.pitch, c.pitch * 1.03}) {
            const bool matched = sheet == c.pitch;
            SCOPED_TRACE("sheet pitch " + std::to_string(sheet));
            const std::string out = dir_.file(matched ? "matched" : "off");
            std::vector<std::string> simulate = {"simulate", "--picture", picture, "--pitch", std::to_string(sheet),
                                                 "--eyes", std::to_string(c.views), "--out", out, "--views"};
            simulate.insert(simulate.end(), views.begin(), views.end());
            r = lenti(simulate);
            ASSERT_EQ(r.exit_code, 0) << r.err;

            std::set<int> seen_views;
            std::size_t at = 0;
            for (int eye = 1; eye <= c.views; ++eye) {
                int k = 0, view = 0;
                double crosstalk = -1;
                ASSERT_EQ(std::sscanf(r.out.c_str() + at, "eye %d: view %d, crosstalk %lf%%", &k, &view, &crosstalk), 3)
                    << r.out;
                at = r.out.find('\n', at) + 1;
                EXPECT_EQ(k, eye);
                seen_views.insert(view);
                plat::Surface eye_picture;
                ASSERT_TRUE(plat::load_png(out + "/eye_" + std::to_string(eye) + ".png", eye_picture).ok);
                ASSERT_EQ(eye_picture.size(), (plat::Size{240, 120}));
                const std::vector<int> stripes = dominant_views(eye_picture, c.views, 8);
                const std::set<int> stripe_views(stripes.begin(), stripes.end());
                if (matched) {
                    EXPECT_EQ(view, eye) << r.out;
                    EXPECT_LT(crosstalk, 5.0) << r.out;
                    EXPECT_EQ(stripe_views, std::set<int>{eye - 1}) << "eye " << eye;
                } else {
                    EXPECT_GT(crosstalk, 20.0) << r.out;
                    EXPECT_GE(stripe_views.size(), 2u) << "eye " << eye << " shows no bands";
                }
            }
            if (matched) {
                EXPECT_EQ(seen_views.size(), std::size_t(c.views)) << r.out;
            }
        }
    }
}

TEST_F(LentiSimulate, BadInputsSayWhyInOneLine) {
    const std::vector<std::string> views = make_views(2);
    const std::string picture = dir_.file("lenti.png"), small = dir_.file("small.png");
    ASSERT_TRUE(plat::save_png(plat::Surface(90, 30), picture).ok);
    ASSERT_TRUE(plat::save_png(plat::Surface(30, 20), small).ok);
    const std::string out = dir_.file("eyes");
    struct Case {
        std::vector<std::string> args;
        int exit_code;
        const char* says;
    };
    const Case cases[] = {
        {{"--picture", dir_.file("missing.png"), "--pitch", "8", "--eyes", "2", "--out", out}, 1, "cannot read"},
        {{"--picture", picture, "--pitch", "8", "--eyes", "2", "--views", views[0], dir_.file("gone.png")}, 1,
         "cannot read"},
        {{"--picture", picture, "--pitch", "8", "--eyes", "2", "--out", out, "--views", views[0], small}, 1,
         "differ in size"},
        {{"--picture", picture, "--pitch", "0", "--eyes", "2", "--out", out}, 2, "--pitch"},
        {{"--picture", picture, "--pitch", "0.5", "--eyes", "2", "--out", out}, 2, "--pitch"},
        {{"--picture", picture, "--pitch", "8", "--eyes", "0", "--out", out}, 2, "--eyes"},
        {{"--picture", picture, "--pitch", "8", "--eyes", "65", "--out", out}, 2, "--eyes"},
        {{"--picture", picture, "--pitch", "8", "--eyes", "2", "--aperture", "0", "--out", out}, 2, "--aperture"},
        {{"--picture", picture, "--pitch", "8", "--eyes", "2", "--aperture", "1.5", "--out", out}, 2, "--aperture"},
        {{"--picture", picture, "--pitch", "8", "--eyes", "2", "--views", views[0]}, 2, "2 to 9"},
        {{"--picture", picture, "--pitch", "8", "--eyes", "2"}, 2, "nothing to do"},
        {{"--pitch", "8", "--eyes", "2", "--out", out}, 2, "--picture"},
        {{"--picture", picture, "--pitch", "8", "--eyes", "2", "--out", out, "--lens", "9"}, 2, "unknown option"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"simulate"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.says);
        const RunResult r = lenti(args);
        EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_FALSE(fs::exists(out)) << "a failed run made the output folder";
    }
    const RunResult help = lenti({"simulate", "--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_NE(help.out.find("usage: lenti simulate"), std::string::npos) << help.out;
}
