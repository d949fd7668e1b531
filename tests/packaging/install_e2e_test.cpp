// The installed tree, as a user gets it: installed from this build into a
// temporary prefix and then moved, so that nothing can lean on the build
// tree or on the prefix it was installed to. The template is built both
// ways against it and run headless; an installed program reads a movie.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "plat/codecs/codecs.h"
#include "plat/gfx/gfx.h"
#include "support/process.h"
#include "support/temp_folder.h"

using testsupport::read_file;
using testsupport::run_program;
using testsupport::RunResult;
namespace fs = std::filesystem;

namespace {

RunResult shell(const std::string& command, const std::vector<std::string>& env = {}) {
    return run_program("/bin/sh", {"-c", command}, env, 120);
}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

// A program, a library or an archive of objects.
bool is_binary(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    char head[8] = {};
    in.read(head, 8);
    const std::string start(head, std::size_t(in.gcount()));
    return start.rfind("\x7f" "ELF", 0) == 0 || start == "!<arch>\n";
}

class InstalledTree : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new testsupport::TempFolder("installed_");
        const fs::path first = folder_->file("first");
        RunResult install = shell(std::string(CMAKE_COMMAND) + " --install " + quoted(BUILD_DIR) + " --prefix " +
                                  quoted(first));
        ASSERT_EQ(install.exit_code, 0) << install.out << install.err;
        prefix_ = folder_->file("moved");
        fs::rename(first, prefix_);
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(fs::is_directory(prefix_)) << "the install failed"; }

    static fs::path libdir() { return prefix_ / INSTALL_LIBDIR; }
    // Runs an installed or template-built program headless, with its own runtime folder.
    RunResult run(const fs::path& program, const std::vector<std::string>& args) {
        return run_program(program.string(), args, {"PLAT_RUNTIME_DIR=" + work_.file("runtime")}, 60);
    }

    static testsupport::TempFolder* folder_;
    static fs::path prefix_;
    testsupport::TempFolder work_{"work_"};
};

testsupport::TempFolder* InstalledTree::folder_ = nullptr;
fs::path InstalledTree::prefix_;

TEST_F(InstalledTree, HoldsWhatAProgramNeedsAndNothingOfTheBuild) {
    const std::string lib = INSTALL_LIBDIR;
    for (const std::string& file : std::vector<std::string>{"bin/pitchtest", "bin/reelmix", "bin/parallax", "bin/lenti", "include/mavlib.h", "include/mav/image.h",
          lib + "/libmavlib.so", lib + "/libmavlib.so.0", lib + "/libmavlib.so." MAV_VERSION, lib + "/libmavlib.a",
          lib + "/libmavlib_main.a", lib + "/pkgconfig/mavlib.pc", lib + "/cmake/mavlib/mavlibConfig.cmake",
          lib + "/cmake/mavlib/mavlibConfigVersion.cmake", lib + "/mavlib/libplat_movie_opencv.so",
          "share/man/man1/pitchtest.1.gz", "share/man/man1/reelmix.1.gz", "share/man/man1/parallax.1.gz",
          "share/man/man1/lenti.1.gz", "share/mavlib/examples/hello/hello.cpp",
          "share/mavlib/examples/hello/CMakeLists.txt", "share/mavlib/examples/hello/Makefile"})
        EXPECT_TRUE(fs::exists(prefix_ / file)) << file;

    // The public headers and nothing else: every installed header is one of mavlib/include.
    const fs::path public_headers = fs::path(SOURCE_DIR) / "mavlib/include";
    for (const auto& e : fs::recursive_directory_iterator(prefix_ / "include")) {
        if (!e.is_regular_file()) continue;
        EXPECT_TRUE(fs::exists(public_headers / fs::relative(e.path(), prefix_ / "include"))) << e.path();
    }

    // No path of the build: text files as they are, binaries without their
    // debugging information (which names the folders they were compiled in).
    const std::string build_dir = fs::canonical(BUILD_DIR).string();
    const std::string source_dir = fs::canonical(SOURCE_DIR).string();
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(prefix_)) {
        if (!e.is_regular_file() || e.path().extension() == ".gz") continue;
        ++files;
        if (is_binary(e.path())) {
            const fs::path stripped = work_.file("stripped");
            ASSERT_EQ(shell("strip --strip-debug -o " + quoted(stripped) + " " + quoted(e.path())).exit_code, 0);
            EXPECT_EQ(read_file(stripped).find(build_dir), std::string::npos) << e.path() << " names " << build_dir;
        } else {
            const std::string text = read_file(e.path());
            EXPECT_EQ(text.find(build_dir), std::string::npos) << e.path() << " names " << build_dir;
            EXPECT_EQ(text.find(source_dir), std::string::npos) << e.path() << " names " << source_dir;
        }
    }
    EXPECT_GT(files, 25);

    // The shared library has its soname and offers the MAV_ interface only.
    RunResult dynamic = shell("readelf -d " + quoted(libdir() / "libmavlib.so"));
    EXPECT_NE(dynamic.out.find("Library soname: [libmavlib.so.0]"), std::string::npos) << dynamic.out;
    RunResult symbols = shell("nm -D --defined-only -C " + quoted(libdir() / "libmavlib.so"));
    EXPECT_NE(symbols.out.find("MAV_PumpMessages"), std::string::npos);
    EXPECT_NE(symbols.out.find("mav_entry"), std::string::npos);
    EXPECT_EQ(symbols.out.find("plat::"), std::string::npos) << "the platform's symbols are exported";
}

// The template, built with CMake (find_package) and with make (pkg-config)
// against the moved prefix alone, draws its ramp headless from a script.
TEST_F(InstalledTree, TemplateBuildsBothWaysAndRunsHeadless) {
    const fs::path source = work_.file("hello");
    fs::copy(prefix_ / "share/mavlib/examples/hello", source, fs::copy_options::recursive);
    RunResult with_cmake =
        shell("cd " + quoted(source) + " && " CMAKE_COMMAND " -S . -B build -DCMAKE_PREFIX_PATH=" + quoted(prefix_) +
              " -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >/dev/null && " CMAKE_COMMAND " --build build");
    ASSERT_EQ(with_cmake.exit_code, 0) << with_cmake.out << with_cmake.err;
    RunResult with_make = shell("cd " + quoted(source) + " && make",
                                {"PKG_CONFIG_PATH=" + (libdir() / "pkgconfig").string(), "PKG_CONFIG_LIBDIR=/nonexistent"});
    ASSERT_EQ(with_make.exit_code, 0) << with_make.out << with_make.err;

    std::ofstream(work_.file("draw.txt")) << "start\nidle\nsave-image 0 " << work_.file("ramp.png") << "\nexit\n";
    for (const fs::path& program : {source / "build/hello", source / "hello"}) {
        SCOPED_TRACE(program.string());
        fs::remove(work_.file("ramp.png"));
        RunResult version = run(program, {"--version"});
        EXPECT_EQ(version.exit_code, 0);
        EXPECT_EQ(version.out, "hello (mavlib) " MAV_VERSION "\n");
        RunResult drawn = run(program, {"--headless", "--script", work_.file("draw.txt")});
        ASSERT_EQ(drawn.exit_code, 0) << drawn.err;
        plat::Surface ramp;
        ASSERT_TRUE(plat::load_png(work_.file("ramp.png"), ramp).ok);
        ASSERT_EQ(ramp.width(), 256);
        ASSERT_EQ(ramp.height(), 256);
        int wrong = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                wrong += ramp.pixel(x, y) != plat::Color((x << 16) | (y << 8) | ((x + y) / 2));
        EXPECT_EQ(wrong, 0);
    }
}

// Every installed program answers --version; reelmix, from the moved prefix,
// finds the installed movie module and records every frame of a movie.
TEST_F(InstalledTree, ProgramsRunFromTheMovedPrefixAndReadAMovie) {
    for (const char* name : {"pitchtest", "reelmix", "parallax", "lenti"}) {
        RunResult version = run(prefix_ / "bin" / name, {"--version"});
        EXPECT_EQ(version.exit_code, 0) << name;
        EXPECT_EQ(version.out, std::string(name) + " (mavlib) " MAV_VERSION "\n");
    }
    const std::string movie = work_.file("views.avi");
    ASSERT_EQ(run_program(GRID_MOVIE_APP, {movie, "192", "110", "3"}).exit_code, 0);
    const std::string frames = work_.folder("frames");
    RunResult exported = run(prefix_ / "bin/reelmix", {"--movie", movie, "--export", "--out", frames});
    ASSERT_EQ(exported.exit_code, 0) << exported.err;
    for (const char* frame : {"file_00000.png", "file_00001.png", "file_00002.png"})
        EXPECT_TRUE(fs::exists(fs::path(frames) / frame)) << frame;

    // A module that is there but cannot be loaded is named with the reason,
    // rather than a later place where there is none.
    const fs::path module = libdir() / "mavlib/libplat_movie_opencv.so";
    const fs::path kept = work_.file("kept_module.so");
    fs::rename(module, kept);
    std::ofstream(module) << "not a library";
    RunResult broken = run(prefix_ / "bin/reelmix", {"--movie", movie, "--export", "--out", frames});
    fs::rename(kept, module);
    EXPECT_EQ(broken.exit_code, 1);
    EXPECT_NE(broken.err.find(prefix_.string()), std::string::npos) << broken.err;
    EXPECT_NE(broken.err.find("libplat_movie_opencv.so: "), std::string::npos) << broken.err;
    EXPECT_EQ(broken.err.find("No such file"), std::string::npos) << broken.err;
}

}  // namespace
