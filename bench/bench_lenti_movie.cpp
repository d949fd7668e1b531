// lenti render --movie on a 3840 x 2160 Motion JPEG movie of 3 x 3 views of
// 1280 x 720 at the movie's own size: the export to a Motion JPEG AVI (and,
// for information, to numbered PNG frames) against OpenCV decoding the movie
// alone, and, to show what the encoder alone costs, OpenCV encoding the
// interleaved frames. The movie, a few frames long, is rendered by the sample generator
// when the benchmark starts and kept in the temporary folder.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include "plat/capture/movie.h"
#include "bench_movies.h"
#include "ratio_reporter.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMovieW = 3840, kMovieH = 2160, kMovieFrames = 12;

const std::string& movie() {
    static const std::string path =
        benchsupport::grid_movie(GRID_MOVIE_APP, "bench_lenti", kMovieW, kMovieH, kMovieFrames);
    return path;
}

// The baseline: OpenCV's FFmpeg reader decoding every frame, nothing else.
void BM_OpenCvDecodesTheMovie(benchmark::State& state) {
    for (auto _ : state) {
        cv::VideoCapture capture(movie(), cv::CAP_FFMPEG);
        if (!capture.isOpened()) return state.SkipWithError("cannot open the movie");
        cv::Mat frame;
        int n = 0;
        while (capture.read(frame) && !frame.empty()) ++n;
        state.counters["frames"] = n;
    }
}

// The platform's reader, which lenti reads with: OpenCV's decoding and, for
// Motion JPEG, the check of every stored picture.
void BM_MovieReaderDecodesTheMovie(benchmark::State& state) {
    for (auto _ : state) {
        plat::MovieReader reader;
        if (!reader.open(movie())) return state.SkipWithError("cannot open the movie");
        plat::BgrFrame f;
        int n = 0;
        while (reader.next_frame(f)) ++n;
        state.counters["frames"] = n;
    }
}

void export_to(benchmark::State& state, const std::string& out) {
    for (auto _ : state) {
        if (benchsupport::run({LENTI_APP, "render", "--movie", movie(), "--grid", "3x3", "--pitch", "17.381",
                               "--views-used", "6", "--out", out}) != 0)
            return state.SkipWithError("the export failed");
    }
}

void BM_ExportToAvi(benchmark::State& state) {
    const fs::path out = benchsupport::temp_dir() / ("bench_lenti_out_" + std::to_string(getpid()) + ".avi");
    export_to(state, out.string());
    fs::remove(out);
}

void BM_ExportToPngFrames(benchmark::State& state) {
    const fs::path out = benchsupport::temp_dir() / ("bench_lenti_frames_" + std::to_string(getpid()));
    export_to(state, out.string() + "/");
    fs::remove_all(out);
}

// OpenCV's Motion JPEG writer (the one lenti uses) encoding the interleaved
// frames, held in memory: the floor of any export to an AVI.
void BM_OpenCvEncodesTheOutput(benchmark::State& state) {
    const fs::path exported = benchsupport::temp_dir() / ("bench_lenti_encoded_" + std::to_string(getpid()) + ".avi");
    if (benchsupport::run({LENTI_APP, "render", "--movie", movie(), "--grid", "3x3", "--pitch", "17.381",
                           "--views-used", "6", "--out", exported.string()}) != 0)
        return state.SkipWithError("the export failed");
    std::vector<cv::Mat> frames;
    {
        cv::VideoCapture capture(exported.string(), cv::CAP_FFMPEG);
        for (cv::Mat f; capture.read(f) && !f.empty();) frames.push_back(f.clone());
    }
    fs::remove(exported);
    if (frames.empty()) return state.SkipWithError("cannot read the export back");
    const fs::path out = benchsupport::temp_dir() / ("bench_lenti_reencoded_" + std::to_string(getpid()) + ".avi");
    for (auto _ : state) {
        cv::VideoWriter writer(out.string(), cv::CAP_OPENCV_MJPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 24.0,
                               frames.front().size(), true);
        for (const cv::Mat& f : frames) writer.write(f);
    }
    fs::remove(out);
}

BENCHMARK(BM_OpenCvDecodesTheMovie)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_MovieReaderDecodesTheMovie)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExportToAvi)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExportToPngFrames)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_OpenCvEncodesTheOutput)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    movie();  // rendered before anything is timed
    return benchsupport::run_benchmarks_with_ratios(argc, argv, "Ratios, measured in this run:",
                                                    {{"BM_ExportToAvi", "BM_OpenCvDecodesTheMovie", "at most 3"},
                                                     {"BM_ExportToPngFrames", "BM_OpenCvDecodesTheMovie", ""},
                                                     {"BM_MovieReaderDecodesTheMovie", "BM_OpenCvDecodesTheMovie", ""},
                                                     {"BM_OpenCvEncodesTheOutput", "BM_OpenCvDecodesTheMovie", ""}});
}
