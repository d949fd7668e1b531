// The movie reader against OpenCV's own reading of the same Motion JPEG
// movie: frames the file stores whole come out as the movie decoder gives
// them, byte for byte, and the spoilt ones are named by their number.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include "plat/capture/movie.h"
#include "support/avi_frames.h"
#include "support/temp_folder.h"

namespace {

// Frames not a whole number of JPEG blocks, so that their edges are in play.
constexpr int kW = 98, kH = 58, kFrames = 9;

std::vector<std::uint8_t> rows_of(const std::uint8_t* data, int w, int h, std::size_t stride) {
    std::vector<std::uint8_t> out;
    for (int y = 0; y < h; ++y) out.insert(out.end(), data + y * stride, data + y * stride + 3 * std::size_t(w));
    return out;
}

}  // namespace

TEST(MovieReader, MotionJpegFramesAreTheMovieDecodersAndSpoiltOnesAreNamed) {
    testsupport::TempFolder dir{"movie_reader_"};
    const std::string whole = dir.file("whole.avi"), spoilt = dir.file("spoilt.avi");
    {
        cv::VideoWriter writer(whole, cv::CAP_FFMPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 24, {kW, kH});
        ASSERT_TRUE(writer.isOpened());
        for (int i = 0; i < kFrames; ++i) {
            cv::Mat frame(kH, kW, CV_8UC3);
            cv::randu(frame, 0, 256);
            frame(cv::Rect(0, 0, kW / 2, kH / 2)) = cv::Scalar(40 * i, 255 - 20 * i, 90);
            writer.write(frame);
        }
    }
    // OpenCV's reading of the whole movie is what the reader must give.
    std::vector<std::vector<std::uint8_t>> want;
    {
        cv::VideoCapture capture(whole, cv::CAP_FFMPEG);
        cv::Mat f;
        while (capture.read(f)) want.push_back(rows_of(f.data, f.cols, f.rows, f.step[0]));
    }
    ASSERT_EQ(int(want.size()), kFrames);

    std::ifstream in(whole, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    std::string bytes = s.str();
    const auto frames = testsupport::avi_frames(bytes);
    ASSERT_EQ(int(frames.size()), kFrames);
    std::mt19937 rng(3);
    for (std::size_t i = 0; i < frames[3].size; ++i) bytes[frames[3].offset + i] = char(rng());        // noise
    for (std::size_t i = frames[5].size / 2; i < frames[5].size; ++i) bytes[frames[5].offset + i] = 0;  // cut
    std::ofstream(spoilt, std::ios::binary) << bytes;

    plat::MovieReader reader;
    ASSERT_TRUE(reader.open(spoilt)) << reader.error_text();
    for (int pass = 0; pass < 2; ++pass) {  // and again after a rewind
        SCOPED_TRACE(pass);
        if (pass == 1) reader.rewind();
        std::vector<int> decoded, undecodable;
        plat::BgrFrame f;
        int index = -1;
        for (plat::FrameRead r; (r = reader.read_frame(f, index)) != plat::FrameRead::End;) {
            if (r == plat::FrameRead::Undecodable) {
                undecodable.push_back(index);
                continue;
            }
            decoded.push_back(index);
            ASSERT_LT(index, kFrames);
            ASSERT_EQ(f.width, kW);
            ASSERT_EQ(f.height, kH);
            EXPECT_EQ(rows_of(f.data, f.width, f.height, f.stride), want[std::size_t(index)]) << "frame " << index;
        }
        EXPECT_EQ(decoded, (std::vector<int>{0, 1, 2, 4, 6, 7, 8}));
        EXPECT_EQ(undecodable, (std::vector<int>{3, 5}));
    }
}
