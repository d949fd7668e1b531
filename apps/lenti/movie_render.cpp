#include "movie_render.h"

#include <unistd.h>

#include <cstdio>
#include <memory>

#include "frame_sinks.h"
#include "movie_frames.h"
#include "render_frame.h"
#include "render_progress.h"
#include "stop_signals.h"
#include "view_pictures.h"

namespace lenti {

namespace {

constexpr double kDefaultFramesPerSecond = 24.0;  // when the movie does not say
constexpr int kExitPartly = 3;

int fail(const Failure& f) { return report("render", f); }

void say(const std::string& line) { std::fprintf(stderr, "lenti render: %s\n", line.c_str()); }

std::string frames_text(int n) { return std::to_string(n) + (n == 1 ? " frame" : " frames"); }

// What a render met on its way through the movie.
struct Pass {
    int read = 0;  // frames read, decoded or not
    int undecodable = 0;
    bool stopped = false;  // by a signal, before the end of the movie
    std::optional<Failure> failure;
};

// Interleaves every frame the decoder gives and hands it to the writer,
// until the end of the movie, a failure or a stop.
void render_frames(const RenderOptions& o, FrameDecoder& decoder, FrameWriter& writer, int W, int H,
                   const StopSignals& stop, RenderProgress& progress, Pass& pass) {
    std::vector<plat::Surface> pictures(1);
    for (;;) {
        MovieFrame f = decoder.next();
        if (f.kind == MovieFrame::Kind::End) return;
        pass.read = f.index + 1;
        if (f.kind == MovieFrame::Kind::NoMemory) {
            pass.failure = input_error("not enough memory for frame " + std::to_string(f.index));
            return;
        }
        if (f.kind == MovieFrame::Kind::Undecodable) {
            ++pass.undecodable;
        } else {
            pictures[0] = std::move(f.picture);
            // Written by the pass with these options and size before: what
            // it does not write is black still.
            plat::Surface out = writer.spare();
            if (auto bad = check_view_shapes(o, pictures, "frame " + std::to_string(f.index) + " of " + o.movie)) {
                pass.failure = bad;
                return;
            }
            if (auto bad = render_frame(o, pictures, W, H, out)) {
                pass.failure = bad;
                return;
            }
            decoder.give_back(std::move(pictures[0]));
            if (!writer.submit(std::move(out), f.index)) return;  // the writer says why
        }
        progress.update(pass.read);
        if (stop.requested()) {
            pass.stopped = true;
            return;
        }
    }
}

}  // namespace

int run_movie_render(const RenderOptions& o) {
    // From the start: a signal during the set-up must not leave the AVI's
    // file beside its name.
    const StopSignals stop;
    plat::MovieReader movie;
    if (!movie.open(o.movie)) return fail(input_error("cannot read " + o.movie + ": " + movie.error_text()));
    const int W = o.width ? o.width : movie.frame_width();
    const int H = o.height ? o.height : movie.frame_height();
    const int declared = movie.frame_count();
    const double fps = movie.frame_rate() > 0 ? movie.frame_rate() : kDefaultFramesPerSecond;
    std::unique_ptr<FrameSink> sink;
    if (auto f = open_sink(o, W, H, fps, sink)) return fail(*f);

    RenderProgress progress(stderr, declared, ::isatty(STDERR_FILENO) == 1);
    Pass pass;
    int written = 0;
    {
        FrameDecoder decoder(movie);
        FrameWriter writer(*sink);
        render_frames(o, decoder, writer, W, H, stop, progress, pass);
        writer.finish();
        written = writer.written();
        if (!pass.failure) pass.failure = writer.failure();
    }
    progress.close_line();

    // Reading ended before the frames the movie declares: it was cut short.
    if (!pass.stopped && !pass.failure && pass.read < declared) {
        pass.undecodable += declared - pass.read;
        pass.read = declared;
    }
    if (!pass.stopped && !pass.failure && written == 0)
        pass.failure = input_error("the movie has no frame that can be decoded");
    if (!pass.stopped && !pass.failure && (pass.failure = sink->finish())) written = 0;

    const int total = pass.stopped ? declared : pass.read;
    const std::string of_total = total > 0 ? " of " + std::to_string(total) : "";
    if (pass.failure || pass.stopped) {
        const std::string kept = sink->keep_unfinished();
        if (o.format == OutputFormat::Avi) {
            // A movie is kept whole or not at all: a shorter one under the
            // name asked for would pass for the whole render.
            say((pass.failure ? pass.failure->message : "stopped at frame " + std::to_string(pass.read) + of_total) +
                "; " + kept);
            return kExitFailed;
        }
        const std::string count = std::to_string(written) + of_total + " frames written";
        // A failure before any frame was written is the one line it needs.
        if (pass.failure) say(written == 0 ? pass.failure->message : pass.failure->message + "; " + count);
        else say(count + "; stopped before the end of the movie");
        return written == 0 ? kExitFailed : kExitPartly;
    }
    if (pass.undecodable > 0) {
        say(std::to_string(written) + of_total + " frames written; " + frames_text(pass.undecodable) +
            " could not be decoded and " + (pass.undecodable == 1 ? "was" : "were") + " passed over");
        return kExitPartly;
    }
    std::fprintf(stderr, "lenti render: %s to %s in %.1f s\n", frames_text(written).c_str(), sink->where().c_str(),
                 progress.seconds());
    return kExitDone;
}

}  // namespace lenti
