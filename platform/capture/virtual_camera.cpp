// Virtual cameras: a moving test picture per camera, or the halves of a
// stereo pair picture or side-by-side movie, delivered at the requested rate
// on a thread of their own, with the controls of the virtual setup table.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "picture_source.h"
#include "provider.h"
#include "test_picture.h"
#include "virtual_setup.h"

namespace plat::capture {

namespace {

using Clock = std::chrono::steady_clock;

// What the streaming thread owns. Shared with the camera, so that a thread
// that did not end in time may go on safely after the camera is gone.
struct Stream {
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    bool finished = false;
};

class VirtualCamera final : public Camera {
public:
    VirtualCamera(int index, std::shared_ptr<HalfPictureSource> source) : index_(index), source_(std::move(source)) {}
    ~VirtualCamera() override { stop(std::chrono::milliseconds(3000)); }

    std::string name() const override { return "Virtual camera " + std::to_string(index_); }

    Status configure(double fps) override {
        if (thread_.joinable()) return Status::Running;
        if (virtual_camera_setup(index_).refuse_format || !(fps > 0.0)) return Status::FormatRefused;
        fps_ = std::min(fps, 1000.0);
        return Status::Ok;
    }

    Status start(FrameCallback on_frame) override {
        if (thread_.joinable()) return Status::Running;
        if (fps_ <= 0.0) return Status::NotConfigured;
        const VirtualCameraSetup setup = virtual_camera_setup(index_);
        if (setup.refuse_stream) return Status::StreamFailed;
        stream_ = std::make_shared<Stream>();
        thread_ = std::thread(run, stream_, index_, fps_, setup.delivers, std::move(on_frame), source_);
        return Status::Ok;
    }

    bool stop(std::chrono::milliseconds timeout) override {
        if (!thread_.joinable()) return true;
        std::unique_lock lock(stream_->mutex);
        stream_->stop = true;
        stream_->wake.notify_all();
        const bool ended = stream_->wake.wait_for(lock, timeout, [&] { return stream_->finished; });
        lock.unlock();
        if (ended) {
            thread_.join();
        } else {
            // It ends by itself once the callback it is in returns; what it
            // uses is shared with it.
            thread_.detach();
        }
        return ended;
    }

    bool range(Control c, ControlRange& out) override { return virtual_range(index_, c, out); }
    bool get(Control c, ControlValue& out) override { return virtual_get(index_, c, out); }
    bool set(Control c, ControlValue v) override { return virtual_set(index_, c, v); }

private:
    static void run(std::shared_ptr<Stream> stream, int index, double fps, bool delivers, FrameCallback on_frame,
                    std::shared_ptr<HalfPictureSource> source) {
        Surface picture(kFrameWidth, kFrameHeight);
        const auto period = std::chrono::duration<double>(1.0 / fps);
        const Clock::time_point t0 = Clock::now();
        for (std::int64_t n = 0;; ++n) {
            {
                std::unique_lock lock(stream->mutex);
                const auto due = t0 + std::chrono::duration_cast<Clock::duration>(period * double(n));
                if (stream->wake.wait_until(lock, due, [&] { return stream->stop; })) break;
            }
            if (!delivers) continue;
            const double seconds = double(n) / fps;
            FrameView view;
            if (!source || !source->next(view)) {
                draw_test_picture(picture, index, n, seconds);
                view.data = picture.bits();
                view.width = picture.width();
                view.height = picture.height();
                view.stride = picture.stride();
                view.length = std::size_t(picture.stride()) * std::size_t(picture.height());
                view.layout = PixelLayout::Xrgb32;
            }
            view.time = seconds;
            on_frame(view);
        }
        std::lock_guard lock(stream->mutex);
        stream->finished = true;
        stream->wake.notify_all();
    }

    int index_;
    std::shared_ptr<HalfPictureSource> source_;
    double fps_ = 0.0;
    std::shared_ptr<Stream> stream_;
    std::thread thread_;
};

class VirtualProvider final : public Provider {
public:
    VirtualProvider(int count, std::string source) : count_(count), source_(std::move(source)) {}

    std::vector<DeviceInfo> list() override {
        std::vector<DeviceInfo> out;
        for (int i = 0; i < count_; ++i) out.push_back({"virtual:" + std::to_string(i), "Virtual camera " + std::to_string(i)});
        return out;
    }

    std::unique_ptr<Camera> open(const DeviceInfo& device) override {
        int index = -1;
        if (std::sscanf(device.id.c_str(), "virtual:%d", &index) != 1 || index < 0 || index >= count_) return nullptr;
        std::unique_ptr<HalfPictureSource> source;
        if (!source_.empty() && index < 2) {
            std::string why;
            source = open_half_picture_source(source_, index, why);
            if (!source) {
                std::fprintf(stderr, "virtual camera %d: %s\n", index, why.c_str());
                return nullptr;
            }
        }
        return std::make_unique<VirtualCamera>(index, std::move(source));
    }

private:
    int count_;
    std::string source_;
};

}  // namespace

std::unique_ptr<Provider> make_virtual_provider(int count, const std::string& source) {
    return std::make_unique<VirtualProvider>(count, source);
}

}  // namespace plat::capture
