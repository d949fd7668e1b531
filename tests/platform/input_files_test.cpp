// Pictures as a careless or hostile user gives them: a header that claims
// more than its file holds is refused without the memory the claim would
// take, a huge file is not read past what makes sense, and valid pictures as
// compressible as their codings allow still load.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <exception>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "plat/codecs/codecs.h"
#include "support/temp_folder.h"

using namespace plat;

namespace {

using Bytes = std::string;

void write_all(const std::string& path, const Bytes& data) { std::ofstream(path, std::ios::binary) << data; }

// A sparse file of `size` bytes that starts with `head`: costs no disk.
void write_sparse(const std::string& path, const Bytes& head, off_t size) {
    write_all(path, head);
    ASSERT_EQ(::truncate(path.c_str(), size), 0);
}

Bytes be32(std::uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }
Bytes le16(unsigned v) { return {char(v), char(v >> 8)}; }
Bytes le32(std::uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }

Bytes png_chunk(const char* type, const Bytes& data) {
    const Bytes body = type + data;
    const auto crc = std::uint32_t(::crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size())));
    return be32(std::uint32_t(data.size())) + body + be32(crc);
}

// A PNG whose image data is `raw` (filter bytes and rows) deflated by zlib at `level`.
Bytes png_file(std::uint32_t w, std::uint32_t h, int depth, int colour_type, const Bytes& raw, int level = 9) {
    uLongf size = compressBound(uLong(raw.size()));
    Bytes z(size, '\0');
    compress2(reinterpret_cast<Bytef*>(z.data()), &size, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()),
              level);
    z.resize(size);
    const Bytes ihdr = be32(w) + be32(h) + char(depth) + char(colour_type) + Bytes(3, '\0');
    return "\x89PNG\r\n\x1a\n" + png_chunk("IHDR", ihdr) + png_chunk("IDAT", z) + png_chunk("IEND", "");
}

// A TIFF of w x h grey pixels whose only strip is `strip`, coded by `compression`.
Bytes one_strip_tiff(std::uint32_t w, std::uint32_t h, std::uint32_t compression, const Bytes& strip) {
    const std::uint32_t tags[][2] = {{256, w}, {257, h}, {258, 8}, {259, compression}, {262, 1}, {273, 8}, {277, 1},
                                     {278, h}, {279, std::uint32_t(strip.size())}};
    Bytes out = "II" + le16(42) + le32(8 + std::uint32_t(strip.size())) + strip + le16(9);
    for (const auto& t : tags) out += le16(t[0]) + le16(4) + le32(1) + le32(t[1]);
    return out + le32(0);
}

// A black grey picture coded by libjpeg with arithmetic coding.
Bytes arithmetic_jpeg(int w, int h) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&c, &buffer, &length);
    c.image_width = JDIMENSION(w), c.image_height = JDIMENSION(h), c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    c.arith_code = TRUE;
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(std::size_t(w), 0);
    for (JSAMPROW rows[] = {row.data()}; c.next_scanline < c.image_height;) jpeg_write_scanlines(&c, rows, 1);
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes out(reinterpret_cast<char*>(buffer), length);
    std::free(buffer);
    return out;
}

// A white bilevel page coded by libtiff with CCITT group 4, as scanners write them.
void write_fax_tiff(const std::string& path, int w, int h) {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(t, nullptr);
    for (auto [tag, value] : {std::pair{TIFFTAG_IMAGEWIDTH, w}, {TIFFTAG_IMAGELENGTH, h}, {TIFFTAG_BITSPERSAMPLE, 1},
                              {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE}, {TIFFTAG_ROWSPERSTRIP, h},
                              {TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4}})
        TIFFSetField(t, tag, value);
    std::vector<std::uint8_t> row(std::size_t(w + 7) / 8, 0);
    for (int y = 0; y < h; ++y) TIFFWriteScanline(t, row.data(), std::uint32_t(y), 0);
    TIFFClose(t);
}

// Runs `body` in a child whose address space may grow by `headroom` bytes at
// most and hands back what it returned, or how it ended. Sanitizers reserve
// terabytes of shadow memory up front, so under them the child runs unlimited.
std::string in_small_memory(std::uint64_t headroom, const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return "no pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        (void)headroom;
#else
        long pages = 0;
        if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
            std::fclose(f);
        }
        rlimit lim{};
        lim.rlim_cur = lim.rlim_max = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + headroom;
        if (pages == 0 || ::setrlimit(RLIMIT_AS, &lim) != 0) ::_exit(3);
#endif
        std::string out;
        try {
            out = body();
        } catch (const std::exception& e) {  // out of memory, say: it must not reach the test runner
            out = std::string("exception: ") + e.what();
        }
        if (::write(fds[1], out.data(), out.size()) != ssize_t(out.size())) ::_exit(4);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, std::size_t(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) return "child ended by signal " + std::to_string(WTERMSIG(status));
    if (WEXITSTATUS(status) != 0) return "child exited with " + std::to_string(WEXITSTATUS(status));
    return out;
}

}  // namespace

TEST(InputFiles, HeadersClaimingMoreThanTheirFilesHoldAreRefusedWithinLittleMemory) {
    testsupport::TempFolder dir{"input_files_"};
    std::map<std::string, std::pair<Bytes, std::string>> files;  // name: contents, the refusal expected
    const std::string claim = " file too short for the 16384 x 16384 pixels it claims";
    files["rgb.png"] = {png_file(16384, 16384, 8, 2, Bytes(10, '\0')), "PNG" + claim};
    files["bilevel.png"] = {png_file(16384, 16384, 1, 0, Bytes(20000, '\0')), "PNG" + claim};
    files["screen.gif"] = {Bytes("GIF89a") + le16(16384) + le16(16384) + Bytes(3, '\0') + "," + le16(0) + le16(0) +
                               le16(16384) + le16(16384) + Bytes("\0\x02\x02\x44\x01\0;", 7),
                           "GIF" + claim};
    std::vector<std::uint8_t> jpeg;
    Surface black(16, 16);
    black.fill(0);
    ASSERT_TRUE(encode_image(black, ImageFormat::Jpeg, 90, jpeg).ok);
    Bytes patched(jpeg.begin(), jpeg.end());
    const std::size_t sof = patched.find("\xFF\xC0");
    ASSERT_NE(sof, Bytes::npos);
    patched.replace(sof + 5, 4, Bytes("\x40\x00\x40\x00", 4));
    files["patched.jpg"] = {patched, "JPEG" + claim};
    files["lzw.tif"] = {one_strip_tiff(16384, 16384, COMPRESSION_LZW, Bytes("\x80\x00\x40\x40", 4)), "TIFF" + claim};
    files["zstd.tif"] = {one_strip_tiff(16384, 16384, COMPRESSION_ZSTD, Bytes(300, '\0')), "TIFF" + claim};
    for (const auto& [name, file] : files) write_all(dir.file(name), file.first);
    // Two gigabytes on disk that hold nothing but their first bytes.
    write_sparse(dir.file("zeros.bin"), "", off_t(2) << 30);
    write_sparse(dir.file("signature.png"), "\x89PNG\r\n\x1a\n", off_t(2) << 30);
    write_sparse(dir.file("signature.bmp"), "BM", off_t(2) << 30);
    files["zeros.bin"] = {"", "not an image file"};
    files["signature.png"] = {"", "corrupt PNG data"};
    files["signature.bmp"] = {"", "corrupt BMP data"};

    const std::string got = in_small_memory(std::uint64_t(256) << 20, [&] {
        std::string out;
        for (const auto& [name, file] : files) {
            Surface picture;
            out += name + ": " + load_image(dir.file(name), picture).message + "\n";
        }
        return out;
    });
    std::string expected;
    for (const auto& [name, file] : files) expected += name + ": " + file.second + "\n";
    EXPECT_EQ(got, expected);
}

TEST(InputFiles, ValidPicturesAsCompressibleAsTheirCodingsAllowStillLoad) {
    // Above the size that every coding may claim freely (2^22 pixels), all
    // black or white: as small as our encoders and the libraries make them.
    constexpr int kW = 4096, kH = 1040;
    testsupport::TempFolder dir{"input_files_"};
    Surface black(kW, kH);
    black.fill(0);
    std::vector<std::string> names;
    auto ours = [&](const std::string& name, ImageFormat format, PngEffort effort = PngEffort::Small) {
        ASSERT_TRUE(save_image(black, dir.file(name), format, 90, effort).ok) << name;
        names.push_back(name);
    };
    ours("ours.png", ImageFormat::Png);
    ours("ours-fast.png", ImageFormat::Png, PngEffort::Fast);
    ours("ours.gif", ImageFormat::Gif);
    ours("ours.jpg", ImageFormat::Jpeg);
    ours("ours.tif", ImageFormat::Tiff);
    Bytes bilevel_rows;
    for (int y = 0; y < kH; ++y) bilevel_rows += Bytes(1 + kW / 8, '\0');
    write_all(dir.file("zlib-best.png"), png_file(kW, kH, 1, 0, bilevel_rows, 9));
    write_all(dir.file("arithmetic.jpg"), arithmetic_jpeg(kW, kH));
    write_fax_tiff(dir.file("fax.tif"), kW, kH);
    names.insert(names.end(), {"zlib-best.png", "arithmetic.jpg", "fax.tif"});
    for (const std::string& name : names) {
        Surface picture;
        const IoResult r = load_image(dir.file(name), picture);
        ASSERT_TRUE(r.ok) << name << ": " << r.message;
        EXPECT_EQ(picture.size(), (Size{kW, kH})) << name;
        EXPECT_EQ(picture.pixel(kW - 1, kH - 1), name == "fax.tif" ? 0xFFFFFFu : 0u) << name;
    }
}
