// reelmix: plays a movie whose frames hold nine views of a scene in a 3 x 3
// grid and shows each frame interleaved for a lenticular sheet. "AA" and
// "rev" switch anti-aliasing and the lens mode, "REC" records one pass of the
// movie as numbered PNG files; the input box sets the output size, the
// number of views and the pitch while the movie runs. --export records one
// pass without pacing, headless, and exits.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "export_progress.h"
#include "export_summary.h"
#include "lenticular/interleave.h"
#include "mavlib.h"
#include "movie_source.h"
#include "plat/codecs/codecs.h"
#include "plat/base/codepage.h"
#include "plat/base/paths.h"
#include "png_recorder.h"
#include "work_images.h"

using namespace reelmix;

namespace {

const MAV_ProgramOption kOptions[] = {
    {"--movie", 1, "FILE", "movie to play (3 x 3 views per frame) instead of asking for one"},
    {"--export", 0, "", "with --movie: record one pass of the movie without pacing, headless, then exit"},
    {"--out", 1, "DIR", "folder for the recorded frames instead of c:\\bmp (it must exist)"},
};
[[maybe_unused]] const int kDeclared = MAV_DeclareProgramOptions(kOptions, 3);
[[maybe_unused]] const int kExportIsBatch = MAV_DeclareBatchOption("--export");

constexpr int kMaxWidth = 1920;
constexpr int kMaxHeight = 1240;
constexpr int kFrameWaitMs = 41;  // the only pacing of playback
constexpr std::size_t kNameBuffer = 260;
constexpr int kButtons = 5;
enum Button { kAA = 0, kRev = 1, kRec = 4 };

// What the input box edits; the last-read copies have the same shape.
struct Settings {
    int W = 800;
    int H = 480;
    int pic_num = 9;
    int view_num = 6;
    double pitch = 17.381;
};

struct Export {
    std::string folder;  // where the files go, as the system names it
    int total = 0;       // frames the movie declares; 0 when it does not say
    std::unique_ptr<PngRecorder> recorder;
    std::unique_ptr<ExportProgress> progress;
    bool done = false;    // the pass is over, or given up
    std::string failure;  // why it was given up
    int exit_code = 0;
    std::atomic<bool> concluded{false};  // its end has been said and the exit asked for
};

// What one pass through the movie has met so far.
struct Pass {
    int read = 0;     // frames read, decoded or not
    int decoded = 0;
    int saved = 0;    // recorded frames saved (REC)
    FrameRuns undecodable;
};

struct State {
    std::unique_ptr<MovieSource> movie;
    char name[kNameBuffer] = {};
    std::string record_prefix;  // "c:\bmp\file_", or the --out folder's, in the library's code page
    std::string out_prefix;     // the --out folder's "file_" as the system names it; empty without --out
    Settings now;
    Settings last_read;
    int AA = 1;
    int lenticular = 0;
    int resize_pending = 0;
    std::string held_back[2];  // Width, Height: the refused size still in the field
    int frame_counter = 0;
    int recording = 0;
    int Wf = 0, Hf = 0;
    double xs = 0, ys = 0;
    GridResampler resampler;
    Pass pass;
    FrameRuns known_undecodable;  // every frame that failed since the movie was opened
    int undecodable_named = 0;    // of those, how many stderr has named
    std::string decode_note;      // shown under the status while there is something to say
    std::optional<Export> batch;  // --export
};

State* g = nullptr;

LenticularParams params() {
    LenticularParams p;
    p.pitch = g->now.pitch;
    p.view_num = g->now.view_num;
    p.pic_num = g->now.pic_num;
    p.gap = 0;
    p.pos = 0;
    p.AA = g->AA;
    p.lenticular = g->lenticular;
    return p;
}

InterleaveTarget target() {
    InterleaveTarget t;
    t.source = kWork;
    t.output = kOutput;
    t.start_column = 0;
    t.row_base = 0;
    t.width = g->now.W;
    t.height = g->now.H;
    t.layout = ViewLayout::Grid3x3;
    t.summary = SummaryKind::MovieStatus;
    t.frame_counter = g->frame_counter;
    t.recording = g->recording;
    return t;
}

void compute_scales() {
    g->xs = double(g->Wf / 3) / (3.0 * g->now.W);
    g->ys = double(g->Hf / 3) / double(g->now.H);
}

// Rows 0..H-1 of "work" and the columns of pic_num tiles, after "work" was
// resized (and so cleared).
void refill_work() {
    resample_into_work(g->resampler, g->xs, g->ys, g->now.H, 3LL * g->now.pic_num * g->now.W);
}

// Waits one frame period while the user thread's windows keep working.
void frame_wait(int ms) {
    const int start = MAV_GetMilliseconds();
    for (;;) {
        MAV_PumpMessages();
        const int left = ms - int(unsigned(MAV_GetMilliseconds()) - unsigned(start));
        if (left <= 0) return;
        MAV_WaitMessages(left);
    }
}

// ---- the input box ----

// A value the pass would refuse is held back: the last valid one stays in use.
bool pass_accepts(const Settings& s) {
    LenticularParams p = params();
    p.view_num = s.view_num;
    p.pitch = s.pitch;
    InterleaveTarget t = target();
    return CheckInterleaveParams(p, t) == kInterleaveOk;
}

// A size field: a value above `limit` is refused at once and the field shows
// the size in use again; a value below 1, seen while the field is retyped, is
// held back until the field holds a size. Either way the last good size stays.
void take_size(int item, int limit, int& value, int& last) {
    const int typed = MAV_GetInputBoxInt(item);
    if (typed == last) return;
    g->held_back[item].clear();
    if (typed > limit) {
        last = value;
        MAV_SetInputBoxInt(item, value);
        return;
    }
    last = typed;
    if (typed < 1) return;
    value = typed;
    g->resize_pending = 1;
}

// A refused size is held back like any other: the images keep the size in
// use, and the text window names the value under the frame's status until
// the field is typed again.
void hold_back_size(int old_W, int old_H) {
    Settings& s = g->now;
    const struct {
        int item;
        const char* name;
        int typed;
        bool changed;
    } fields[] = {{0, "Width", s.W, s.W != old_W}, {1, "Height", s.H, s.H != old_H}};
    for (const auto& f : fields) {
        if (!f.changed) continue;
        char line[96];  // short lines: the text window is 19 characters wide
        std::snprintf(line, sizeof line, "%s %d refused:\ncannot be shown\n", f.name, f.typed);
        g->held_back[f.item] = line;
    }
    s.W = old_W;
    s.H = old_H;
}

void read_input_box() {
    Settings& s = g->now;
    Settings& last = g->last_read;
    if (int v = MAV_GetInputBoxInt(3); v != last.view_num) {
        last.view_num = v;
        Settings candidate = s;
        candidate.view_num = v;
        if (pass_accepts(candidate)) s.view_num = v;
    }
    if (int p = MAV_GetInputBoxInt(2); p != last.pic_num) {
        last.pic_num = p;
        s.pic_num = p;
        compute_scales();
        MAV_ResizeImage(kWork, 9 * s.W, 3 * s.H);
        refill_work();
        MAV_Refresh(MAV_GetCurrentImage());
    }
    if (double p = MAV_GetInputBoxDouble(4); p != last.pitch) {
        last.pitch = p;
        Settings candidate = s;
        candidate.pitch = p;
        if (pass_accepts(candidate)) s.pitch = p;
    }
    const int old_W = s.W, old_H = s.H;
    take_size(0, kMaxWidth, s.W, last.W);
    take_size(1, kMaxHeight, s.H, last.H);
    if (!g->resize_pending) return;
    g->resize_pending = 0;
    // "work" and the output take the new size together, or neither does: the
    // library refuses a size whose window this screen cannot show, and a
    // refused resize leaves the image as it was.
    compute_scales();
    if (MAV_ResizeImage(kWork, 9 * s.W, 3 * s.H) != 0) {
        hold_back_size(old_W, old_H);
        compute_scales();
        return;
    }
    refill_work();
    if (MAV_ResizeImage(kOutput, s.W, s.H) != 0) {
        hold_back_size(old_W, old_H);
        compute_scales();
        MAV_ResizeImage(kWork, 9 * s.W, 3 * s.H);
        refill_work();
    }
}

void print_held_back_sizes() {
    for (const std::string& line : g->held_back)
        if (!line.empty()) MAV_Printf("%s", line.c_str());
}

// ---- recording ----

std::string frame_number() {
    char number[16];
    std::snprintf(number, sizeof number, "%05d", g->frame_counter);
    return number;
}

// The recorded frame's name as the text window shows it and MAV_SaveImage takes it.
std::string record_name() { return g->record_prefix + frame_number(); }

// The recorded frame's file as the system names it.
std::string record_path() {
    if (!g->out_prefix.empty()) return g->out_prefix + frame_number() + ".png";
    return plat::to_native_path(plat::sjis_to_utf8(record_name() + ".png"));
}

std::string save_failure(const PngRecorder::Failure& f) {
    return "cannot save frame " + std::to_string(f.frame) + " as " + f.path + ": " + f.why;
}

// "Hello,there!" as a picture of its own, for writers other than the library.
plat::Surface output_picture() {
    const int w = MAV_GetImageWidth(kOutput), h = MAV_GetImageHeight(kOutput);
    const auto* px = static_cast<const std::uint32_t*>(mav_bits[kOutput]);
    if (w <= 0 || h <= 0 || !px || MAV_GetImageBits(kOutput) != 32) return {};
    plat::Surface picture(w, h);
    if (picture.is_null()) return {};
    for (int y = 0; y < h; ++y) std::memcpy(picture.row32(y), px + std::size_t(y) * std::size_t(w), std::size_t(w) * 4);
    return picture;
}

void give_up_export(const std::string& why) {
    Export& e = *g->batch;
    if (e.failure.empty()) e.failure = why;
    e.done = true;
}

void record_frame() {
    MAV_SelectImage(kOutput);
    const std::string name = record_name();
    MAV_Printf("%s", name.c_str());
    if (!g->batch) {
        int result = 1;
        if (g->out_prefix.empty()) {
            result = MAV_SaveImage(MAV_GetImageHeight(kOutput), MAV_GetImageWidth(kOutput), 3, name.c_str());
        } else {
            // --out names the folder as the system spells it, which the
            // library's code page may not hold: saved without the library.
            const plat::Surface picture = output_picture();
            result = !picture.is_null() && plat::save_png(picture, record_path(), plat::PngEffort::Fast) ? 0 : 1;
        }
        if (result == 0) ++g->pass.saved;
        MAV_Printf("%d", result);
        return;
    }
    // Export: the writer thread encodes while the next frame is composed.
    Export& e = *g->batch;
    plat::Surface picture = output_picture();
    if (picture.is_null()) return give_up_export("the output image is gone; nothing more can be recorded");
    e.recorder->submit(std::move(picture), record_path(), g->frame_counter);
    if (e.recorder->failure()) return give_up_export("");
    e.progress->update(g->frame_counter + 1);
}

// Back to the first frame: a new pass begins.
void rewind_movie() {
    g->movie->rewind();
    g->frame_counter = 0;
    g->pass = Pass{};
}

void start_recording() {
    g->recording = 1;
    rewind_movie();
}

// ---- frames that cannot be decoded ----

constexpr int kUndecodableNamedAtMost = 20;

std::string undecodable_text(const FrameRuns& frames) {
    return (frames.count() == 1 ? "frame " : "frames ") + frames.text() + " could not be decoded";
}

// A frame that cannot be decoded is passed over: named on stderr (each frame
// once, however often a looping movie comes back to it) and, while playing,
// under the status in the text window.
void note_undecodable(int index) {
    g->pass.undecodable.add(index);
    if (g->known_undecodable.contains(index)) return;
    g->known_undecodable.add(index);
    if (g->batch && g->batch->progress) g->batch->progress->interrupt();
    if (g->undecodable_named < kUndecodableNamedAtMost)
        std::fprintf(stderr, "reelmix: frame %d could not be decoded; going on with the next\n", index);
    else if (g->undecodable_named == kUndecodableNamedAtMost)
        std::fprintf(stderr, "reelmix: more frames could not be decoded; %s\n",
                     g->batch ? "the end of the export lists them" : "the text window lists them");
    ++g->undecodable_named;
    if (!g->batch) g->decode_note = undecodable_text(g->known_undecodable);
}

// The next frame that can be decoded; false at the end of the movie. The
// frame counter takes the frame's number in the movie.
bool read_next(BgrFrame& frame) {
    for (;;) {
        int index = 0;
        switch (g->movie->read_frame(frame, index)) {
        case plat::FrameRead::Decoded:
            g->pass.read = index + 1;
            ++g->pass.decoded;
            g->frame_counter = index;
            return true;
        case plat::FrameRead::Undecodable:
            g->pass.read = index + 1;
            note_undecodable(index);
            continue;
        case plat::FrameRead::End: return false;
        }
    }
}

// ---- the end of an export ----

// Says how the export ended (the files written out of the pass, what could
// not be decoded or saved, a stop before the end, numbered frames in the
// folder that it did not write) and exits with the code that goes with it:
// 0 only when every frame of the pass was written. Once, from whichever of
// the loop's end, a stop before the loop or UserExit gets here first.
void conclude_export() {
    Export& e = *g->batch;
    if (e.concluded.exchange(true)) return;
    e.recorder->finish();
    const std::vector<int> written = e.recorder->written_frames();
    ExportOutcome o;
    o.written = int(written.size());
    o.stopped = !e.done;
    o.pass_frames = o.stopped && e.total == 0 ? 0 : std::max(g->pass.read, e.total);
    o.undecodable = g->pass.undecodable;
    if (auto f = e.recorder->failure()) o.failure = save_failure(*f);
    else o.failure = e.failure;
    // Reading ended before the frames the movie declares: it was cut short.
    if (!o.stopped && o.failure.empty() && g->pass.read < e.total) o.undecodable.add(g->pass.read, e.total - 1);

    const ExportReport report = report_export(o);
    if (report.exit_code == 0) {
        e.progress->finish(o.written, e.folder);
    } else {
        e.progress->interrupt();
        for (const std::string& line : report.lines) std::fprintf(stderr, "reelmix: %s\n", line.c_str());
    }
    const FrameRuns left = frames_not_written(e.folder, "file_", FrameRuns::of(written));
    if (!left.empty()) std::fprintf(stderr, "reelmix: %s\n", frames_left_line(e.folder, left).c_str());
    std::fflush(stderr);
    e.exit_code = report.exit_code;
    MAV_RequestExit(report.exit_code);
}

// ---- one frame ----

// After the last frame the movie starts again and a recording ends; an
// export's pass is over.
void end_of_movie() {
    const bool was_recording = g->recording;
    g->recording = 0;
    if (g->batch && was_recording) {
        g->batch->done = true;
        return;
    }
    if (was_recording && !g->pass.undecodable.empty()) {
        const int n = std::max(g->pass.read, g->movie->frame_count());
        g->decode_note = std::to_string(g->pass.saved) + " of " + std::to_string(n) + " frames written; " +
                         undecodable_text(g->pass.undecodable);
    }
    const bool empty = g->pass.decoded == 0;
    rewind_movie();
    if (empty) frame_wait(kFrameWaitMs);  // a movie that gives no frame is not polled flat out
}

// The steps of one decoded frame. "REC" rewinds and takes the first frame
// again: Restart (with `frame` now that frame) or MovieEnded when there is none.
enum class FrameEnd { Done, Restart, MovieEnded };

FrameEnd compose_frame(BgrFrame& frame) {
    if (!g->batch) frame_wait(kFrameWaitMs);
    show_frame(frame);
    resample_into_work(g->resampler, g->xs, g->ys, 3 * g->now.H, 9LL * g->now.W);
    MAV_Refresh(kWork);
    for (int i = 0; i < kButtons; ++i) {
        MAV_Printf("%s", "");  // pumps the thread's messages, prints nothing
        if (!MAV_ButtonPressed(i)) continue;
        if (i == kAA) g->AA = g->AA ? 0 : 1;
        if (i == kRev) g->lenticular = g->lenticular ? 0 : 1;
        if (i == kRec) {
            start_recording();
            // The last recording's line gives way to the frames known to fail.
            g->decode_note = g->known_undecodable.empty() ? "" : undecodable_text(g->known_undecodable);
            if (!read_next(frame)) return FrameEnd::MovieEnded;
            return FrameEnd::Restart;
        }
    }
    read_input_box();
    InterleaveViews(params(), target());
    if (!g->decode_note.empty()) MAV_Printf("%s\n", g->decode_note.c_str());
    print_held_back_sizes();
    if (g->recording) record_frame();
    g->frame_counter++;
    return FrameEnd::Done;
}

void play() {
    for (;;) {
        BgrFrame frame;
        if (!read_next(frame)) {
            end_of_movie();
        } else {
            FrameEnd end;
            while ((end = compose_frame(frame)) == FrameEnd::Restart) {
            }
            if (end == FrameEnd::MovieEnded) end_of_movie();
        }
        MAV_PumpMessages();
        if (g->batch && g->batch->done) return conclude_export();
        if (MAV_StopRequested()) break;
    }
    if (g->batch) conclude_export();
}

// ---- set-up ----

void take_movie_name() {
    if (const char* movie = MAV_GetProgramOption("--movie")) {
        std::string sjis = plat::utf8_to_sjis(movie);
        std::snprintf(g->name, sizeof g->name, "%s", sjis.c_str());
        return;
    }
    g->name[0] = '\0';
    MAV_OpenFileDialog(nullptr, g->name);
}

// The movie's file as the system names it: --movie as typed, or the dialog's
// answer (in the library's code page).
std::string movie_path() {
    if (const char* movie = MAV_GetProgramOption("--movie")) return movie;
    return plat::to_native_path(plat::sjis_to_utf8(g->name));
}

// Where recorded frames go: c:\bmp, or the --out folder as typed.
void choose_record_folder() {
    const char* out = MAV_GetProgramOption("--out");
    if (!out) {
        g->record_prefix = "c:\\bmp\\file_";
        return;
    }
    std::string folder = plat::to_native_path(out);
    if (!folder.empty() && folder.back() != '/') folder += '/';
    g->out_prefix = folder + "file_";
    g->record_prefix = plat::utf8_to_sjis(folder) + "file_";  // for the text window
}

std::string record_folder() {
    const std::string prefix = g->out_prefix.empty() ? plat::to_native_path(plat::sjis_to_utf8(g->record_prefix))
                                                     : g->out_prefix;
    const std::string folder = std::filesystem::path(prefix).parent_path().string();
    return folder.empty() ? "." : folder;
}

// A --movie that names a folder, a device or a pipe is a mistake in the
// command line: refused, never opened.
bool movie_is_not_a_file() {
    return MAV_GetProgramOption("--movie") && g->movie->error() == plat::MovieError::NotAFile;
}

// --export checks what it can before it starts: a movie, a folder.
bool prepare_export() {
    Export& e = g->batch.emplace();
    if (!MAV_GetProgramOption("--movie")) {
        std::fprintf(stderr, "reelmix: --export needs --movie FILE\n");
        e.exit_code = 2;
        return false;
    }
    if (!g->movie->is_open()) {
        e.exit_code = movie_is_not_a_file() ? 2 : 1;  // said already
        return false;
    }
    e.folder = record_folder();
    std::error_code ec;
    if (!std::filesystem::is_directory(e.folder, ec)) {
        std::fprintf(stderr, "reelmix: the folder for the frames does not exist: %s\n", e.folder.c_str());
        e.exit_code = 1;
        return false;
    }
    e.total = g->movie->frame_count();
    e.recorder = std::make_unique<PngRecorder>();
    e.progress = std::make_unique<ExportProgress>(stderr, e.total, isatty(STDERR_FILENO) != 0);
    return true;
}

}  // namespace

void UserSetup(void) {
    g = new State;
    g->movie = std::make_unique<MovieSource>();
    MAV_OpenTextWindow(0, 672, 0, 152, 469);
    MAV_SetForeground(MAVMAINWINDOW);
    const bool batch = MAV_GetProgramOption("--export") != nullptr;
    if (!batch || MAV_GetProgramOption("--movie")) {
        take_movie_name();
        if (!g->movie->open(movie_path())) {
            MAV_Printf("[%s] : Can't load .\n", g->name);
            // A movie named on the command line may have been mistyped: say so where it was typed.
            if (MAV_GetProgramOption("--movie"))
                std::fprintf(stderr, "reelmix: cannot open the movie '%s': %s\n", movie_path().c_str(),
                             g->movie->error_text().c_str());
        } else
            MAV_Printf("Start\x82\xf0\x83N\x83\x8a\x83" "b\x83N.\n");  // click Start
    }
    choose_record_folder();
    MAV_OpenInputBox(422, 0, 5);
    const Settings& s = g->now;
    MAV_SetInputBoxTitle(0, "Width");
    MAV_SetInputBoxInt(0, s.W);
    MAV_SetInputBoxTitle(1, "Height");
    MAV_SetInputBoxInt(1, s.H);
    MAV_SetInputBoxTitle(2, "Pic_num");
    MAV_SetInputBoxInt(2, s.pic_num);
    MAV_SetInputBoxTitle(3, "View_num");
    MAV_SetInputBoxInt(3, s.view_num);
    MAV_SetInputBoxTitle(4, "Pitch");
    MAV_SetInputBoxDouble(4, s.pitch);
    if (batch) {
        if (prepare_export()) MAV_RequestStart();
        else MAV_RequestExit(g->batch->exit_code);
    } else if (movie_is_not_a_file()) {
        MAV_RequestExit(2);
    }
}

void UserMain(void) {
    if (!g->movie->is_open()) {
        // Nothing to play: the program stays responsive until Stop.
        while (!MAV_StopRequested()) frame_wait(kFrameWaitMs);
        return;
    }
    // A later Start finds the box open already; its buttons keep these titles.
    MAV_OpenButtonBox(206, 0, 1, kButtons);
    const char* titles[kButtons] = {"AA", "rev", "---", "---", "REC"};
    for (int i = 0; i < kButtons; ++i) MAV_SetButtonBoxTitle(i, titles[i]);
    g->Wf = g->movie->frame_width();
    g->Hf = g->movie->frame_height();
    create_images(g->Wf, g->Hf, g->now.W, g->now.H);
    compute_scales();
    MAV_PumpMessages();
    if (MAV_StopRequested()) {
        if (g->batch) conclude_export();
        return;
    }
    if (g->batch) start_recording();
    play();
}

void UserExit(void) {
    if (!g) return;
    // An export that Exit (or a signal) ended before its loop began still
    // says how many frames it wrote.
    if (g->batch && g->batch->recorder) conclude_export();
    g->movie.reset();
}
