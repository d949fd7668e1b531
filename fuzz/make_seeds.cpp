// Writes small PNG, JPEG, GIF and TIFF files made by the libraries
// themselves, in the kinds they offer (interlaced and 16-bit PNG, progressive
// and arithmetic-coded JPEG, interlaced GIF, TIFF in several codings), as
// seeds for the decode fuzzer: its saved corpus holds BMP and ICO only, and
// the fuzzer would hardly find these formats' headers by itself.
//
//   make_fuzz_seeds OUT_DIR
#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>

#include <cstdio>  // jpeglib.h needs FILE first
#include <jpeglib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

std::uint32_t g_random = 1;
std::uint8_t noise() {
    g_random = g_random * 1103515245u + 12345u;
    return std::uint8_t(g_random >> 16);
}

bool write_png(const std::string& path, int w, int h, int depth, int colour_type, bool interlaced) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), depth, colour_type,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_color palette[16];
    for (int i = 0; i < 16; ++i) palette[i] = {png_byte(i * 16), png_byte(255 - i * 16), png_byte(i * 7)};
    if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette, 1 << depth);
    png_write_info(png, info);
    const int channels = png_get_channels(png, info);
    std::vector<png_byte> row(std::size_t((w * channels * depth + 7) / 8));
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < h; ++y) {
            for (png_byte& b : row) b = noise();
            png_write_row(png, row.data());
        }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

bool write_jpeg(const std::string& path, int w, int h, int components, bool arithmetic, bool progressive) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = components;
    c.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 75, TRUE);
    c.arith_code = arithmetic ? TRUE : FALSE;
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(std::size_t(w * components));
    JSAMPROW rows[] = {row.data()};
    while (c.next_scanline < c.image_height) {
        for (JSAMPLE& s : row) s = noise();
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return std::fclose(f) == 0;
}

bool write_tiff(const std::string& path, int w, int h, int bits, int samples, int compression, int photometric) {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    if (!t) return false;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 4);
    std::vector<std::uint16_t> map(3 * 256);
    for (int i = 0; i < 256; ++i) {
        map[std::size_t(i)] = std::uint16_t(i * 257);
        map[256 + std::size_t(i)] = std::uint16_t((255 - i) * 257);
        map[512 + std::size_t(i)] = std::uint16_t((i * 3 & 255) * 257);
    }
    if (photometric == PHOTOMETRIC_PALETTE) TIFFSetField(t, TIFFTAG_COLORMAP, map.data(), map.data() + 256, map.data() + 512);
    std::vector<std::uint8_t> row(std::size_t((w * bits * samples + 7) / 8));
    bool ok = true;
    for (int y = 0; y < h && ok; ++y) {
        for (std::size_t i = 0; i < row.size(); ++i) row[i] = compression == COMPRESSION_CCITTFAX4 ? (i % 3 ? 0 : 0xF0) : noise();
        ok = TIFFWriteScanline(t, row.data(), std::uint32_t(y), 0) >= 0;
    }
    TIFFClose(t);
    return ok;
}

bool write_gif(const std::string& path, int w, int h, bool interlaced) {
    int err = 0;
    GifFileType* g = EGifOpenFileName(path.c_str(), false, &err);
    if (!g) return false;
    GifColorType colours[16];
    for (int i = 0; i < 16; ++i)
        colours[i] = {GifByteType(i * 16), GifByteType(i * 5), GifByteType(255 - i * 16)};
    ColorMapObject* map = GifMakeMapObject(16, colours);
    // A frame inside a larger screen, as animations have.
    bool ok = EGifPutScreenDesc(g, w + 2, h + 1, 4, 0, map) != GIF_ERROR &&
              EGifPutImageDesc(g, 1, 1, w, h, interlaced, nullptr) != GIF_ERROR;
    std::vector<GifPixelType> row(static_cast<std::size_t>(w));
    for (int y = 0; y < h && ok; ++y) {
        for (GifPixelType& p : row) p = noise() & 15;
        ok = EGifPutLine(g, row.data(), w) != GIF_ERROR;
    }
    ok = EGifCloseFile(g, &err) != GIF_ERROR && ok;
    GifFreeMapObject(map);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(argc == 2 && std::string(argv[1]) == "--help" ? stdout : stderr, "usage: %s OUT_DIR\n", argv[0]);
        return argc == 2 && std::string(argv[1]) == "--help" ? 0 : 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    const bool ok =
        write_png(dir + "rgb8.png", 16, 12, 8, PNG_COLOR_TYPE_RGB, false) &&
        write_png(dir + "rgba16.png", 9, 7, 16, PNG_COLOR_TYPE_RGB_ALPHA, false) &&
        write_png(dir + "grey1.png", 17, 5, 1, PNG_COLOR_TYPE_GRAY, false) &&
        write_png(dir + "palette4-interlaced.png", 13, 11, 4, PNG_COLOR_TYPE_PALETTE, true) &&
        write_png(dir + "grey-alpha-interlaced.png", 6, 6, 8, PNG_COLOR_TYPE_GRAY_ALPHA, true) &&
        write_jpeg(dir + "rgb.jpg", 16, 16, 3, false, false) &&
        write_jpeg(dir + "grey-progressive.jpg", 24, 9, 1, false, true) &&
        write_jpeg(dir + "rgb-arithmetic.jpg", 17, 13, 3, true, false) &&
        write_jpeg(dir + "rgb-progressive.jpg", 20, 20, 3, false, true) &&
        write_tiff(dir + "rgb-lzw.tif", 12, 10, 8, 3, COMPRESSION_LZW, PHOTOMETRIC_RGB) &&
        write_tiff(dir + "grey-deflate.tif", 9, 9, 8, 1, COMPRESSION_ADOBE_DEFLATE, PHOTOMETRIC_MINISBLACK) &&
        write_tiff(dir + "palette-packbits.tif", 10, 6, 8, 1, COMPRESSION_PACKBITS, PHOTOMETRIC_PALETTE) &&
        write_tiff(dir + "fax4.tif", 32, 8, 1, 1, COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE) &&
        write_tiff(dir + "rgb-plain.tif", 5, 4, 8, 3, COMPRESSION_NONE, PHOTOMETRIC_RGB) &&
        write_gif(dir + "plain.gif", 14, 9, false) && write_gif(dir + "interlaced.gif", 11, 13, true);
    if (!ok) std::fprintf(stderr, "%s: cannot write the seeds into %s\n", argv[0], argv[1]);
    return ok ? 0 : 1;
}
