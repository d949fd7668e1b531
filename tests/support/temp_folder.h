// A scratch folder for one test: created empty under the test temporary
// folder, named after the running test and the process, numbered after the
// first one (so parallel runs and several folders in one process never
// meet), removed with everything in it when the object goes, unless keep()
// was called (to look at after a failure).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <system_error>

namespace testsupport {

class TempFolder {
public:
    // Whether the test's name goes into the folder's name. Tests of dialogs
    // that show the folder's whole name in a narrow field leave it out.
    enum class Naming { AfterTest, Short };

    // `prefix` starts the folder's name (e.g. "codecs_").
    explicit TempFolder(const std::string& prefix = "", Naming naming = Naming::AfterTest) {
        static std::atomic<int> made{0};
        std::string name = prefix;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        if (naming == Naming::Short)
            name += "t";
        else if (info)
            name += info->name();
        else
            name += "outside_test";
        for (char& c : name)
            if (c == '/' || c == ' ') c = '_';
        name += "_" + std::to_string(::getpid());
        if (const int n = made++; n > 0) name += "_" + std::to_string(n);
        path_ = std::filesystem::path(::testing::TempDir()) / name;
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);  // a leftover of an earlier run with this pid
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        if (keep_) return;
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        if (!ec) return;
        // A test may have taken the owner's rights away from a folder: give
        // them back and try again.
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (it->is_directory(ec))
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    // The full name of `name` inside the folder (which may have separators).
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Makes a folder inside (and the folders above it); returns its name.
    std::string folder(const std::string& name) const {
        std::filesystem::create_directories(path_ / name);
        return file(name);
    }
    void keep() { keep_ = true; }

private:
    std::filesystem::path path_;
    bool keep_ = false;
};

}  // namespace testsupport
