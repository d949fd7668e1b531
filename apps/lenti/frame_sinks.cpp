#include "frame_sinks.h"

#include <cstdio>
#include <filesystem>

#include "picture_output.h"
#include "plat/capture/movie.h"

namespace lenti {

namespace {

// file_00000.png, file_00001.png, ... as reelmix names its recorded frames.
class PngFolder : public FrameSink {
public:
    PngFolder(std::string folder, int dpi) : folder_(std::move(folder)), dpi_(dpi) {}
    std::optional<Failure> write(const plat::Surface& picture, int index) override {
        // Made with the first frame: a render refused before it leaves no folder behind.
        std::error_code ec;
        if (!made_ && !std::filesystem::create_directories(folder_, ec) && !std::filesystem::is_directory(folder_))
            return input_error("cannot make the folder " + folder_ + (ec ? ": " + ec.message() : ""));
        made_ = true;
        char name[32];
        std::snprintf(name, sizeof name, "file_%05d.png", index);
        return write_picture(picture, folder_ + name, OutputFormat::Png, dpi_);
    }
    std::optional<Failure> finish() override { return std::nullopt; }
    std::string keep_unfinished() override { return "the frames written stay in " + folder_; }
    std::string where() const override { return folder_; }

private:
    std::string folder_;  // ends in '/'
    int dpi_;
    bool made_ = false;
};

class AviMovie : public FrameSink {
public:
    explicit AviMovie(std::string path) : path_(std::move(path)) {}
    std::optional<Failure> open(int W, int H, double fps) {
        if (writer_.open(path_, fps, W, H)) return std::nullopt;
        return input_error("cannot write " + path_ + ": " + writer_.error_text());
    }
    std::optional<Failure> write(const plat::Surface& picture, int) override {
        if (writer_.write(picture.row32(0), std::size_t(picture.width()) * 4)) return std::nullopt;
        return input_error("cannot write " + path_ + ": " + writer_.error_text());
    }
    std::optional<Failure> finish() override {
        if (writer_.finish()) return std::nullopt;
        return input_error("cannot write " + path_ + ": " + writer_.error_text());
    }
    std::string keep_unfinished() override {
        writer_.discard();
        return path_ + " was not written";
    }
    std::string where() const override { return path_; }

private:
    std::string path_;
    plat::MovieWriter writer_;
};

}  // namespace

std::optional<Failure> open_sink(const RenderOptions& o, int W, int H, double fps, std::unique_ptr<FrameSink>& out) {
    if (o.format == OutputFormat::Avi) {
        auto movie = std::make_unique<AviMovie>(o.out);
        if (auto f = movie->open(W, H, fps)) return f;
        out = std::move(movie);
        return std::nullopt;
    }
    out = std::make_unique<PngFolder>(o.out.back() == '/' ? o.out : o.out + "/", o.dpi);
    return std::nullopt;
}

FrameWriter::FrameWriter(FrameSink& sink, int depth)
    : sink_(sink), jobs_(std::size_t(depth)), thread_([this] { run(); }) {}

FrameWriter::~FrameWriter() { finish(); }

void FrameWriter::run() {
    while (std::optional<Job> job = jobs_.pop()) {
        if (failed_.load(std::memory_order_acquire)) continue;
        if (auto f = sink_.write(job->picture, job->index)) {
            failure_ = std::move(f);
            failed_.store(true, std::memory_order_release);
        } else {
            ++written_;
        }
        spares_.give(std::move(job->picture));
    }
}

bool FrameWriter::submit(plat::Surface picture, int index) {
    if (failed_.load(std::memory_order_acquire)) return false;
    return jobs_.push({std::move(picture), index});
}

void FrameWriter::finish() {
    jobs_.close();
    if (thread_.joinable()) thread_.join();
}

std::optional<Failure> FrameWriter::failure() const {
    if (!failed_.load(std::memory_order_acquire)) return std::nullopt;
    return failure_;
}

}  // namespace lenti
