#include "png_recorder.h"

#include <algorithm>

#include "plat/codecs/codecs.h"

namespace reelmix {

PngRecorder::PngRecorder(int queue_depth) : depth_(std::size_t(std::max(queue_depth, 1))) {
    worker_ = std::thread([this] { run(); });
}

PngRecorder::~PngRecorder() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void PngRecorder::submit(plat::Surface picture, std::string path, int frame) {
    std::unique_lock lock(mutex_);
    // A full queue means the writer is behind: the caller writes the oldest
    // picture itself instead of waiting, so both threads encode.
    while (queue_.size() >= depth_ && !failure_) write_oldest(lock);
    if (failure_) return;
    queue_.push_back({std::move(picture), std::move(path), frame});
    changed_.notify_all();
}

void PngRecorder::write_oldest(std::unique_lock<std::mutex>& lock) {
    Job job = std::move(queue_.front());
    queue_.pop_front();
    ++busy_;
    lock.unlock();
    const plat::IoResult r = plat::save_png(job.picture, job.path, plat::PngEffort::Fast);
    lock.lock();
    --busy_;
    if (r) {
        written_.push_back(job.frame);
    } else if (!failure_) {
        failure_ = Failure{job.frame, job.path, r.message};
        queue_.clear();
    }
    changed_.notify_all();
}

void PngRecorder::finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return queue_.empty() && busy_ == 0; });
}

std::optional<PngRecorder::Failure> PngRecorder::failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

std::vector<int> PngRecorder::written_frames() const {
    std::lock_guard lock(mutex_);
    return written_;
}

void PngRecorder::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return !queue_.empty() || closing_; });
        if (queue_.empty()) return;  // closing, and nothing left to write
        write_oldest(lock);
    }
}

}  // namespace reelmix
