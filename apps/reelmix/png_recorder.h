// Writes recorded frames as PNG files on a thread of its own, so that the
// next frame is decoded and composed while the last one is encoded.
// Files may be finished out of order.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "plat/gfx/gfx.h"

namespace reelmix {

class PngRecorder {
public:
    struct Failure {
        int frame = 0;
        std::string path;
        std::string why;
    };

    // At most `queue_depth` pictures wait for the writer; beyond that submit
    // writes the oldest one itself.
    explicit PngRecorder(int queue_depth = 2);
    ~PngRecorder();  // writes what is queued, then ends the thread
    PngRecorder(const PngRecorder&) = delete;
    PngRecorder& operator=(const PngRecorder&) = delete;

    // Queues `picture` to be written to `path` (native). After a failure
    // nothing more is written.
    void submit(plat::Surface picture, std::string path, int frame);
    // Waits until everything queued has been written (or given up).
    void finish();
    // The first write that failed, if any.
    std::optional<Failure> failure() const;
    // The frame numbers of the files written so far.
    std::vector<int> written_frames() const;

private:
    struct Job {
        plat::Surface picture;
        std::string path;
        int frame = 0;
    };
    void run();
    // Takes the oldest job and writes it with the lock released.
    void write_oldest(std::unique_lock<std::mutex>& lock);

    const std::size_t depth_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> queue_;
    int busy_ = 0;  // jobs being written
    bool closing_ = false;
    std::vector<int> written_;  // frame numbers, in the order the files were finished
    std::optional<Failure> failure_;
    std::thread worker_;
};

}  // namespace reelmix
