// A test with the x11 backend running in this process on an Xvfb of its own.
// ctest runs every test in a process of its own, so each gets a new server.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "plat/platform.h"
#include "x11/x_support.h"

namespace xtest {

class X11Fixture : public ::testing::Test {
protected:
    // False runs the backend with XPutImage instead of shared memory.
    virtual bool shared_memory() const { return true; }

    void SetUp() override {
        XInitThreads();
        xvfb_ = std::make_unique<Xvfb>();
        ASSERT_TRUE(xvfb_->ok()) << "Xvfb did not start";
        setenv("DISPLAY", xvfb_->name().c_str(), 1);
        if (shared_memory()) unsetenv("PLAT_X11_NO_SHM");
        else setenv("PLAT_X11_NO_SHM", "1", 1);
        conn_ = std::make_unique<Conn>(xvfb_->name());
        ASSERT_TRUE(conn_->ok()) << "cannot connect to " << xvfb_->name();
        conn_->set_root_background(kDesktop);
        plat::PlatformOptions o;
        o.headless = false;
        std::string error;
        ASSERT_TRUE(plat::init_platform(o, error)) << error;
        started_ = true;
    }

    void TearDown() override {
        if (started_) plat::shutdown_platform();
        conn_.reset();
        xvfb_.reset();
    }

    Conn& conn() { return *conn_; }
    const std::string& display() const { return xvfb_->name(); }

    // Where a screen grab that did not match is kept for a look.
    std::string failure_png(const char* what) const {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name() + "_" + what + ".png";
        for (char& c : name)
            if (c == '/') c = '_';
        return (std::filesystem::path(::testing::TempDir()) / name).string();
    }

private:
    std::unique_ptr<Xvfb> xvfb_;
    std::unique_ptr<Conn> conn_;
    bool started_ = false;
};

}  // namespace xtest
