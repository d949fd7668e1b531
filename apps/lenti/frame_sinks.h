// Where the frames of a movie render go: numbered PNG files in a folder, or
// a Motion JPEG movie. Frames are written on a thread of their own, so that
// the next frame is interleaved while the last one is encoded.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "bounded_queue.h"
#include "failure.h"
#include "plat/gfx/gfx.h"
#include "render_options.h"
#include "spare_surfaces.h"

namespace lenti {

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // Writes frame `index` of the movie (frames come in order).
    virtual std::optional<Failure> write(const plat::Surface& picture, int index) = 0;
    // Every frame is in: completes the output.
    virtual std::optional<Failure> finish() = 0;
    // The render ends early: what the output keeps of it (PNG files stay,
    // a movie not finished is removed). The closing line's phrase for it.
    virtual std::string keep_unfinished() = 0;
    // Where the frames went, for the closing line.
    virtual std::string where() const = 0;
};

// The sink the options' --out names, ready to take W x H frames at `fps`.
std::optional<Failure> open_sink(const RenderOptions& o, int W, int H, double fps, std::unique_ptr<FrameSink>& out);

// Hands frames to a sink on a thread of its own; at most `depth` wait.
class FrameWriter {
public:
    FrameWriter(FrameSink& sink, int depth = 2);
    ~FrameWriter();  // waits for the frames given
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    // Queues a frame; false once a write has failed (then nothing more is written).
    bool submit(plat::Surface picture, int index);
    // Waits until every queued frame is written or given up.
    void finish();
    // A picture already written, for the next frame of the same size; null if none.
    plat::Surface spare() { return spares_.take(); }
    // Frames written so far; safe to read once finish() has returned.
    int written() const { return written_; }
    std::optional<Failure> failure() const;

private:
    struct Job {
        plat::Surface picture;
        int index = 0;
    };
    void run();

    FrameSink& sink_;
    BoundedQueue<Job> jobs_;
    SpareSurfaces spares_{1};
    std::atomic<bool> failed_{false};
    std::optional<Failure> failure_;  // written by the thread before failed_ is set
    int written_ = 0;                 // the thread's; read after finish()
    std::thread thread_;
};

}  // namespace lenti
