#include "plat/base/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Sets or clears an environment variable for one test and restores it after.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

class PathsTest : public ::testing::Test {
protected:
    ScopedEnv root_{"PLAT_DRIVE_ROOT", "/mnt/drv"};
};

using plat::to_native_path;

TEST_F(PathsTest, DriveLetterMapsIntoDriveRoot) {
    EXPECT_EQ(to_native_path("c:\\dir\\file.bmp"), "/mnt/drv/c/dir/file.bmp");
    EXPECT_EQ(to_native_path("d:\\a"), "/mnt/drv/d/a");
}

TEST_F(PathsTest, DriveLetterIsLowercasedButTheRestKeepsItsCase) {
    EXPECT_EQ(to_native_path("C:\\Dir\\File.BMP"), "/mnt/drv/c/Dir/File.BMP");
    EXPECT_EQ(to_native_path("Z:/x"), "/mnt/drv/z/x");
}

TEST_F(PathsTest, ForwardAndMixedSlashesAfterDrive) {
    EXPECT_EQ(to_native_path("c:/dir/file"), "/mnt/drv/c/dir/file");
    EXPECT_EQ(to_native_path("c:\\dir/sub\\file"), "/mnt/drv/c/dir/sub/file");
}

TEST_F(PathsTest, BareDriveIsTheDriveFolder) {
    EXPECT_EQ(to_native_path("c:"), "/mnt/drv/c");
    EXPECT_EQ(to_native_path("c:\\"), "/mnt/drv/c/");
}

TEST_F(PathsTest, RepeatedSeparatorsCollapse) {
    EXPECT_EQ(to_native_path("c:\\\\dir\\\\\\file"), "/mnt/drv/c/dir/file");
    EXPECT_EQ(to_native_path("dir\\\\file"), "dir/file");
    EXPECT_EQ(to_native_path("dir\\/file"), "dir/file");
}

TEST_F(PathsTest, DotDotIsKept) {
    EXPECT_EQ(to_native_path("c:\\a\\..\\b"), "/mnt/drv/c/a/../b");
    EXPECT_EQ(to_native_path("..\\x"), "../x");
}

TEST_F(PathsTest, RelativeWindowsNameBecomesRelativePosixName) {
    EXPECT_EQ(to_native_path("dir\\file.txt"), "dir/file.txt");
    EXPECT_EQ(to_native_path("file.txt"), "file.txt");
}

TEST_F(PathsTest, PosixPathsPassUnchanged) {
    EXPECT_EQ(to_native_path("/usr/share/x.png"), "/usr/share/x.png");
    EXPECT_EQ(to_native_path("/a//b/./c/"), "/a//b/./c/");
    EXPECT_EQ(to_native_path("rel/x"), "rel/x");
    EXPECT_EQ(to_native_path(""), "");
}

TEST_F(PathsTest, Utf8NamesSurvive) {
    EXPECT_EQ(to_native_path("c:\\写真\\日本.bmp"), "/mnt/drv/c/写真/日本.bmp");
}

TEST_F(PathsTest, OnlyLettersAreDrives) {
    EXPECT_EQ(to_native_path("1:\\x"), "1:/x");
    EXPECT_EQ(to_native_path("\xC3\xA9:\\x"), "\xC3\xA9:/x");
}

TEST(Paths, DriveRootFromEnvironmentIgnoresTrailingSlash) {
    ScopedEnv root("PLAT_DRIVE_ROOT", "/srv/drives/");
    EXPECT_EQ(plat::drive_root(), "/srv/drives");
    EXPECT_EQ(to_native_path("c:\\f"), "/srv/drives/c/f");
}

TEST(Paths, DriveRootFallsBackToHome) {
    ScopedEnv root("PLAT_DRIVE_ROOT", nullptr);
    ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(plat::drive_root(), "/home/someone/drives");
    EXPECT_EQ(to_native_path("e:\\m.avi"), "/home/someone/drives/e/m.avi");
}

TEST(Paths, DriveRootWithoutHome) {
    ScopedEnv root("PLAT_DRIVE_ROOT", nullptr);
    ScopedEnv home("HOME", nullptr);
    EXPECT_EQ(plat::drive_root(), "/tmp/drives");
}

TEST(Paths, EmptyVariablesCountAsUnset) {
    ScopedEnv root("PLAT_DRIVE_ROOT", "");
    ScopedEnv home("HOME", "");
    EXPECT_EQ(plat::drive_root(), "/tmp/drives");
}

}  // namespace
