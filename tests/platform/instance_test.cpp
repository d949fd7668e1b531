#include "plat/base/instance.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using plat::claim_instance_slot;
using plat::InstanceSlot;

// Every test gets its own runtime directory so parallel runs never share locks.
class InstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("PLAT_RUNTIME_DIR")) old_ = old;
        dir_ = base_.path() / "run";
        setenv("PLAT_RUNTIME_DIR", dir_.c_str(), 1);
    }
    void TearDown() override {
        if (old_)
            setenv("PLAT_RUNTIME_DIR", old_->c_str(), 1);
        else
            unsetenv("PLAT_RUNTIME_DIR");
    }

    std::vector<InstanceSlot> claim_n(std::string_view family, int n) {
        std::vector<InstanceSlot> slots;
        for (int i = 0; i < n; ++i) {
            auto s = claim_instance_slot(family, 10);
            if (!s) break;
            slots.push_back(std::move(*s));
        }
        return slots;
    }

    testsupport::TempFolder base_{"instance_"};
    fs::path dir_;
    std::optional<std::string> old_;
};

TEST_F(InstanceTest, TenSlotsThenNone) {
    std::vector<InstanceSlot> slots;
    for (int i = 0; i < 10; ++i) {
        auto s = claim_instance_slot("app", 10);
        ASSERT_TRUE(s.has_value()) << "claim " << i;
        EXPECT_EQ(s->index(), i);
        slots.push_back(std::move(*s));
    }
    EXPECT_FALSE(claim_instance_slot("app", 10).has_value());
}

TEST_F(InstanceTest, ReleasedSlotIsReusedFirst) {
    auto slots = claim_n("app", 10);
    ASSERT_EQ(slots.size(), 10u);
    slots[3].release();
    auto again = claim_instance_slot("app", 10);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->index(), 3);
    EXPECT_FALSE(claim_instance_slot("app", 10).has_value());
}

TEST_F(InstanceTest, DestructorReleases) {
    {
        auto s = claim_instance_slot("app", 10);
        ASSERT_TRUE(s.has_value());
        EXPECT_EQ(s->index(), 0);
    }
    auto s = claim_instance_slot("app", 10);
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->index(), 0);
}

TEST_F(InstanceTest, MovedSlotKeepsItsLock) {
    std::optional<InstanceSlot> holder;
    {
        auto s = claim_instance_slot("app", 10);
        ASSERT_TRUE(s.has_value());
        holder.emplace(std::move(*s));
    }  // the moved-from object is gone; the lock must not be
    auto next = claim_instance_slot("app", 10);
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(next->index(), 1);

    // Move-assigning over a held slot lets go of the old one.
    *holder = std::move(*next);
    EXPECT_EQ(holder->index(), 1);
    auto freed = claim_instance_slot("app", 10);
    ASSERT_TRUE(freed.has_value());
    EXPECT_EQ(freed->index(), 0);
}

TEST_F(InstanceTest, FamiliesAreIndependent) {
    auto a = claim_n("alpha", 10);
    ASSERT_EQ(a.size(), 10u);
    auto b = claim_instance_slot("beta", 10);
    ASSERT_TRUE(b.has_value());
    EXPECT_EQ(b->index(), 0);
}

TEST_F(InstanceTest, CountBoundsTheSlots) {
    auto one = claim_instance_slot("app", 1);
    ASSERT_TRUE(one.has_value());
    EXPECT_FALSE(claim_instance_slot("app", 1).has_value());
    EXPECT_FALSE(claim_instance_slot("other", 0).has_value());
}

TEST_F(InstanceTest, BadFamilyNamesAreRejected) {
    EXPECT_FALSE(claim_instance_slot("", 10).has_value());
    EXPECT_FALSE(claim_instance_slot("../escape", 10).has_value());
    EXPECT_FALSE(claim_instance_slot("a/b", 10).has_value());
    EXPECT_FALSE(fs::exists(base_.path() / "escape0.lock"));
}

TEST_F(InstanceTest, RuntimeDirIsCreatedPrivate) {
    ASSERT_FALSE(fs::exists(dir_));
    EXPECT_EQ(plat::runtime_dir(), dir_.string());
    struct stat st {};
    ASSERT_EQ(stat(dir_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    auto s = claim_instance_slot("app", 10);
    ASSERT_TRUE(s.has_value());
    EXPECT_TRUE(fs::exists(dir_ / "app0.lock"));
}

TEST_F(InstanceTest, RuntimeDirFallsBackToXdg) {
    unsetenv("PLAT_RUNTIME_DIR");
    const char* old_xdg = std::getenv("XDG_RUNTIME_DIR");
    std::optional<std::string> saved = old_xdg ? std::optional<std::string>(old_xdg) : std::nullopt;
    setenv("XDG_RUNTIME_DIR", base_.path().c_str(), 1);
    EXPECT_EQ(plat::runtime_dir(), base_.file("plat"));
    EXPECT_TRUE(fs::is_directory(base_.path() / "plat"));
    if (saved)
        setenv("XDG_RUNTIME_DIR", saved->c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}

TEST_F(InstanceTest, KilledProcessFreesItsSlot) {
    auto held = claim_n("app", 2);  // 0 and 1 stay with us
    ASSERT_EQ(held.size(), 2u);

    int to_parent[2];
    ASSERT_EQ(pipe(to_parent), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(to_parent[0]);
        auto s = claim_instance_slot("app", 10);
        char index = s ? static_cast<char>(s->index()) : char(-1);
        if (write(to_parent[1], &index, 1) != 1) _exit(2);
        for (;;) pause();  // hold the slot until killed
    }
    close(to_parent[1]);
    char child_index = -1;
    ASSERT_EQ(read(to_parent[0], &child_index, 1), 1);
    close(to_parent[0]);
    EXPECT_EQ(child_index, 2);

    {
        auto while_alive = claim_instance_slot("app", 10);
        ASSERT_TRUE(while_alive.has_value());
        EXPECT_EQ(while_alive->index(), 3);
    }

    ASSERT_EQ(kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status));

    auto after = claim_instance_slot("app", 10);
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->index(), 2);
}

TEST_F(InstanceTest, LockIsNotInheritedByExecutedPrograms) {
    // A program that starts a helper must not lend it its slot.
    if (access("/bin/sleep", X_OK) != 0) GTEST_SKIP() << "no /bin/sleep";
    auto s = claim_instance_slot("app", 10);
    ASSERT_TRUE(s.has_value());
    ASSERT_EQ(s->index(), 0);

    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Give the child time to exec; until then it shares our descriptor.
    bool freed = false;
    s->release();
    for (int i = 0; i < 200 && !freed; ++i) {
        auto again = claim_instance_slot("app", 10);
        freed = again.has_value() && again->index() == 0;
        if (!freed) usleep(10'000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    EXPECT_TRUE(freed);
}

}  // namespace
