// Refreshing an 800 x 480 window through the x11 backend, on an Xvfb this
// program starts for itself, with shared memory and with XPutImage:
//  - as fast as the program can draw: the time one refresh costs the
//    program's thread (lock the window's surface, fill it, unlock and tell
//    the backend), and how many images the display thread puts up for it;
//  - 120 frames paced at 60 a second: images shown a second, how long the
//    program's thread waited on the surface lock and the backend (90th
//    percentile and worst), and how long the 120 frames took against the
//    2 s they should take.
// The baseline is a memcpy of one 800 x 480 frame (32 bits a pixel).
// Without Xvfb the window benchmarks are skipped, with the reason.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "x11_backend.h"
#include "plat/driver/driver.h"
#include "plat/platform.h"
#include "plat/core/window.h"
#include "support/ui_thread.h"
#include "x11/x_support.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 480;
constexpr int kPacedFrames = 120;
constexpr double kPeriodMs = 1000.0 / 60.0;

const char* mode_name(bool shm) { return shm ? "SharedMemory" : "PutImage"; }

// The Xvfb of this run, the platform brought up on it in the presentation
// mode the running benchmark wants, and the window it refreshes. Xvfb starts
// at the first window benchmark; switching modes restarts the platform.
class Session {
public:
    static Session& get() {
        static Session* s = new Session;  // torn down by close() from main
        return *s;
    }

    // The window, shown, with the platform presenting in the mode asked for;
    // nothing (with the reason in `why`) when that cannot be had.
    std::optional<plat::Hwnd> window(bool shm, std::string& why) {
        if (!start_server(why)) return std::nullopt;
        if (up_ && shm_ == shm) return window_;
        stop_platform();
        if (shm) unsetenv("PLAT_X11_NO_SHM");
        else setenv("PLAT_X11_NO_SHM", "1", 1);
        plat::PlatformOptions o;
        o.headless = false;
        std::string error;
        if (!plat::init_platform(o, error)) {
            why = "the x11 backend did not start on " + xvfb_->name() + ": " + error;
            return std::nullopt;
        }
        up_ = true;
        shm_ = shm;
        ui_ = std::make_unique<testsupport::UiThread>();
        window_ = ui_->run([] {
            if (!plat::class_registered("bench_present")) {
                plat::WindowClass c;
                c.name = "bench_present";
                c.background = 0;
                plat::register_class(c);
            }
            plat::Rect wr = plat::adjust_window_rect({0, 0, kWidth, kHeight}, plat::style::Overlapped, false);
            plat::CreateParams p;
            p.class_name = "bench_present";
            p.title = "bench_present";
            p.style = plat::style::Overlapped | plat::style::Visible;
            p.rect = wr.translated(200 - wr.left, 150 - wr.top);
            return plat::create_window(p);
        });
        if (!window_ || !plat::driver::wait_idle()) {
            why = "the 800x480 window did not come up";
            stop_platform();
            return std::nullopt;
        }
        if (plat::detail::x11_stats().shared_memory != shm) {
            why = std::string("the backend could not present with ") + mode_name(shm);
            stop_platform();
            return std::nullopt;
        }
        return window_;
    }

    // Waits until the middle of the window shows `c` on the X screen; the
    // milliseconds that took, or a negative number after `timeout_ms`.
    double shown(plat::Color c, int timeout_ms = 3000) {
        plat::Point inside = plat::client_origin(window_).translated(kWidth / 2, kHeight / 2);
        double start = xtest::now_ms();
        bool ok = xtest::wait_for(
            [&] {
                XImage* img = XGetImage(conn_->d(), conn_->root(), inside.x, inside.y, 1, 1, AllPlanes, ZPixmap);
                if (!img) return false;
                plat::Color got = plat::Color(XGetPixel(img, 0, 0)) & 0xFFFFFF;
                XDestroyImage(img);
                return got == c;
            },
            timeout_ms, 1);
        return ok ? xtest::now_ms() - start : -1;
    }

    // The platform goes before the server: losing the display ends the process.
    void close() {
        stop_platform();
        conn_.reset();
        xvfb_.reset();
    }

private:
    bool start_server(std::string& why) {
        if (conn_) return true;
        if (tried_) {
            why = server_error_;
            return false;
        }
        tried_ = true;
        if (xtest::which("Xvfb").empty()) {
            server_error_ = "Xvfb is not installed (Debian package xvfb); the window benchmarks need it";
            why = server_error_;
            return false;
        }
        XInitThreads();
        xvfb_ = std::make_unique<xtest::Xvfb>();
        if (!xvfb_->ok()) {
            server_error_ = "Xvfb did not start";
            why = server_error_;
            xvfb_.reset();
            return false;
        }
        setenv("DISPLAY", xvfb_->name().c_str(), 1);
        auto conn = std::make_unique<xtest::Conn>(xvfb_->name());
        if (!conn->ok()) {
            server_error_ = "cannot connect to Xvfb on " + xvfb_->name();
            why = server_error_;
            xvfb_.reset();
            return false;
        }
        conn_ = std::move(conn);
        conn_->set_root_background(xtest::kDesktop);
        return true;
    }

    void stop_platform() {
        if (!up_) return;
        if (window_) ui_->run([&] { plat::destroy_window(window_); });
        ui_.reset();
        window_ = {};
        plat::shutdown_platform();
        up_ = false;
    }

    std::unique_ptr<xtest::Xvfb> xvfb_;
    std::unique_ptr<xtest::Conn> conn_;
    bool tried_ = false;
    std::string server_error_;
    bool up_ = false;
    bool shm_ = false;
    std::unique_ptr<testsupport::UiThread> ui_;
    plat::Hwnd window_{};
};

plat::Color frame_colour(std::uint64_t i) {
    return plat::rgb(int(i * 2 & 0xFF), int(255 - (i * 2 & 0xFF)), int(i * 37 & 0xFF));
}

double ms_since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

// The baseline: one frame's bytes copied.
void BM_MemcpyOfOneFrame(benchmark::State& state) {
    std::size_t bytes = std::size_t(kWidth) * kHeight * 4;
    std::vector<std::uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes));
}

// Refreshes back to back. The time is the program thread's per refresh;
// wait_us is the part of it spent locking and unlocking (telling the
// backend), presents_per_refresh how many of the frames got an image of
// their own.
void BM_RefreshAsFastAsPossible(benchmark::State& state) {
    bool shm = state.range(0) != 0;
    state.SetLabel(mode_name(shm));
    std::string why;
    std::optional<plat::Hwnd> h = Session::get().window(shm, why);
    if (!h) {
        state.SkipWithError(why.c_str());
        return;
    }
    using clock = std::chrono::steady_clock;
    std::uint64_t presents_before = plat::detail::x11_stats().presents;
    std::uint64_t frame = 0;
    double wait_ms = 0;
    plat::Color last = 0;
    for (auto _ : state) {
        last = frame_colour(++frame);
        auto t0 = clock::now();
        std::optional<plat::WindowDc> dc(std::in_place, *h);
        double locked = ms_since(t0);
        dc->dc().fill_rect({0, 0, kWidth, kHeight}, last);
        auto t2 = clock::now();
        dc.reset();
        wait_ms += locked + ms_since(t2);
    }
    double presents = double(plat::detail::x11_stats().presents - presents_before);
    state.counters["wait_us"] = benchmark::Counter(wait_ms * 1000, benchmark::Counter::kAvgIterations);
    state.counters["presents_per_refresh"] = benchmark::Counter(presents, benchmark::Counter::kAvgIterations);
    state.counters["presents_per_s"] = benchmark::Counter(presents, benchmark::Counter::kIsRate);
    // Lets the display thread catch up before the next run.
    if (Session::get().shown(last) < 0) state.SkipWithError("the last frame never reached the X screen");
}

// 120 frames at 60 a second, once. The time is the frames' elapsed time.
void BM_Paced60PerSecond(benchmark::State& state) {
    bool shm = state.range(0) != 0;
    state.SetLabel(mode_name(shm));
    std::string why;
    std::optional<plat::Hwnd> h = Session::get().window(shm, why);
    if (!h) {
        state.SkipWithError(why.c_str());
        return;
    }
    using clock = std::chrono::steady_clock;
    std::vector<double> waits;
    double elapsed_ms = 0, shown_ms = 0, presents = 0;
    for (auto _ : state) {
        waits.clear();
        std::uint64_t presents_before = plat::detail::x11_stats().presents;
        plat::Color last = 0;
        auto start = clock::now();
        for (int i = 0; i < kPacedFrames; ++i) {
            last = frame_colour(std::uint64_t(i) + 1000);
            auto t0 = clock::now();
            std::optional<plat::WindowDc> dc(std::in_place, *h);
            double locked = ms_since(t0);
            dc->dc().fill_rect({0, 0, kWidth, kHeight}, last);
            auto t2 = clock::now();
            dc.reset();
            waits.push_back(locked + ms_since(t2));
            std::this_thread::sleep_until(start + std::chrono::duration<double, std::milli>(kPeriodMs * (i + 1)));
        }
        elapsed_ms = ms_since(start);
        state.SetIterationTime(elapsed_ms / 1000);
        shown_ms = Session::get().shown(last);
        presents = double(plat::detail::x11_stats().presents - presents_before);
        if (shown_ms < 0) {
            state.SkipWithError("the last frame never reached the X screen");
            return;
        }
    }
    std::sort(waits.begin(), waits.end());
    double ideal_ms = kPacedFrames * kPeriodMs;
    state.counters["frames"] = kPacedFrames;
    state.counters["presents"] = presents;
    state.counters["presents_per_s"] = presents / (elapsed_ms / 1000);
    state.counters["wait_p90_us"] = waits[waits.size() * 9 / 10] * 1000;
    state.counters["wait_max_us"] = waits.back() * 1000;
    state.counters["elapsed_ms"] = elapsed_ms;
    state.counters["elapsed_over_ideal"] = elapsed_ms / ideal_ms;
    state.counters["last_shown_after_ms"] = shown_ms;
}

// The baseline first; then each mode's runs together, so that the platform
// restarts once between them.
BENCHMARK(BM_MemcpyOfOneFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_RefreshAsFastAsPossible)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Paced60PerSecond)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshAsFastAsPossible)->Arg(0)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Paced60PerSecond)->Arg(0)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    Session::get().close();
    benchmark::Shutdown();
    return 0;
}
