// The movie writer: a Motion JPEG AVI that the reader gives back frame for
// frame, under its name only once finished; a movie dropped or never
// finished leaves the folder as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "plat/capture/movie.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// Sizes that are not whole JPEG blocks, so that the edges are in play.
constexpr int kW = 98, kH = 58, kFrames = 5;

std::uint32_t colour_of(int frame) { return std::uint32_t(40 * frame) << 16 | std::uint32_t(250 - 30 * frame) << 8 | 90; }

std::vector<std::string> names_in(const fs::path& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(MovieWriter, FramesComeBackInOrderUnderTheNameOnceFinished) {
    testsupport::TempFolder dir{"movie_writer_"};
    const std::string path = dir.file("out.avi");
    plat::MovieWriter writer;
    ASSERT_TRUE(writer.open(path, 12.5, kW, kH)) << writer.error_text();
    std::vector<std::uint32_t> pixels(std::size_t(kW + 6) * kH);  // rows padded: the stride is honoured
    for (int i = 0; i < kFrames; ++i) {
        std::fill(pixels.begin(), pixels.end(), colour_of(i));
        ASSERT_TRUE(writer.write(pixels.data(), (kW + 6) * 4));
    }
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(names_in(dir.path()).size(), 1u);  // the movie being written, beside the name
    ASSERT_TRUE(writer.finish()) << writer.error_text();
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"out.avi"});

    plat::MovieReader reader;
    ASSERT_TRUE(reader.open(path)) << reader.error_text();
    EXPECT_EQ(reader.frame_width(), kW);
    EXPECT_EQ(reader.frame_height(), kH);
    EXPECT_EQ(reader.frame_count(), kFrames);
    EXPECT_DOUBLE_EQ(reader.frame_rate(), 12.5);
    plat::BgrFrame f;
    for (int i = 0; i < kFrames; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(reader.next_frame(f));
        const std::uint8_t* p = f.data + std::size_t(kH / 2) * f.stride + 3 * (kW / 2);
        const std::uint32_t want = colour_of(i);
        EXPECT_NEAR(p[0], int(want & 0xFF), 4);
        EXPECT_NEAR(p[1], int(want >> 8 & 0xFF), 4);
        EXPECT_NEAR(p[2], int(want >> 16 & 0xFF), 4);
    }
    EXPECT_FALSE(reader.next_frame(f));
}

TEST(MovieWriter, AMovieNotFinishedLeavesTheFolderAsItWas) {
    testsupport::TempFolder dir{"movie_writer_"};
    const std::string path = dir.file("out.avi");
    std::ofstream(path) << "earlier";
    const std::vector<std::uint32_t> pixels(std::size_t(kW) * kH, 0x336699u);
    for (bool discard : {true, false}) {
        SCOPED_TRACE(discard ? "discarded" : "destroyed");
        {
            plat::MovieWriter writer;
            ASSERT_TRUE(writer.open(path, 24, kW, kH)) << writer.error_text();
            ASSERT_TRUE(writer.write(pixels.data(), kW * 4));
            if (discard) {
                writer.discard();
                EXPECT_FALSE(writer.finish());  // nothing left to finish
            }
        }
        EXPECT_EQ(contents(path), "earlier");
        EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"out.avi"});
    }
    struct Refused {
        std::string path;
        const char* says;
    };
    fs::create_directories(dir.file("folder.avi"));
    for (const Refused& r : {Refused{dir.file("no/out.avi"), "cannot create a file there: No such file"},
                             Refused{dir.file("folder.avi"), "not a regular file"}}) {
        plat::MovieWriter writer;
        EXPECT_FALSE(writer.open(r.path, 24, kW, kH));
        EXPECT_NE(writer.error_text().find(r.says), std::string::npos) << writer.error_text();
        EXPECT_FALSE(writer.is_open());
    }
}

// A file the system stops growing (a full disk, a size limit): the encoder
// says nothing, so finish() must find the frames missing and keep nothing.
TEST(MovieWriter, AMovieTheDiskCutShortIsNotKept) {
    testsupport::TempFolder dir{"movie_writer_"};
    const std::string path = dir.file("out.avi");
    std::vector<std::uint32_t> noise(std::size_t(kW) * kH);
    std::uint32_t x = 12345;
    for (std::uint32_t& p : noise) p = (x = x * 1664525u + 1013904223u) >> 8;
    const pid_t pid = fork();
    if (pid == 0) {
        // Here the file may grow to 16 KB; the frames of noise need more.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16384, 16384};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        plat::MovieWriter writer;
        if (!writer.open(path, 24, kW, kH)) _exit(10);
        for (int i = 0; i < 8; ++i)
            if (!writer.write(noise.data(), kW * 4)) _exit(11);
        const bool finished = writer.finish();
        std::fprintf(stderr, "%s\n", writer.error_text().c_str());
        _exit(finished ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_TRUE(names_in(dir.path()).empty());
}
