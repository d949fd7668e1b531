// The image file service.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "plat/gfx/gfx.h"

namespace plat {

// Outcome of a fallible file operation: ok, or a short message saying why not.
struct IoResult {
    bool ok = true;
    std::string message;
    static IoResult success() { return {}; }
    static IoResult failure(std::string why) { return {false, std::move(why)}; }
    explicit operator bool() const { return ok; }
};

// How hard PNG writing works at small files. Small: zlib's default level with
// adaptive filters. Fast: run-length deflate with the Sub and Up filters,
// about five times faster on colour pictures; the files are about as small
// on fine patterns such as interleaved pictures and up to about 40 % larger
// on smooth ones. Palette images are written the same way by both.
enum class PngEffort { Small, Fast };

// The resolution written into PNG and TIFF files unless a caller asks for
// another (dots per inch).
inline constexpr int kDefaultDpi = 72;

// Writes an Rgb32 surface as a 24-bit PNG, or an Indexed8 surface as an
// 8-bit palette PNG. `path` is a native (UTF-8 POSIX) path.
IoResult save_png(const Surface& surface, const std::string& path, PngEffort effort = PngEffort::Small);

// Reads a PNG into an Rgb32 surface (alpha dropped, palettes and grey expanded).
IoResult load_png(const std::string& path, Surface& out);

// The same in memory: a whole PNG file's bytes.
IoResult encode_png(const Surface& surface, std::vector<std::uint8_t>& out, PngEffort effort = PngEffort::Small,
                    int dpi = kDefaultDpi);
IoResult decode_png(const std::uint8_t* data, std::size_t size, Surface& out);

// ---- every supported format ----
//
// Reading tells the format by the file's content, never by its name: BMP,
// JPEG, GIF (first frame), PNG, TIFF, ICO (its largest image) and the
// metafiles WMF and EMF (drawn on white, at the size their headers give; see
// wmf_codec.cpp and emf_codec.cpp). A file with
// a palette (BMP and TIFF of 8 bits or fewer, GIF, palette PNG) gives an
// Indexed8 surface with that palette; everything else gives Rgb32, alpha
// dropped (icons: transparent pixels black). Writing takes an Rgb32 surface
// as 24-bit colour and an Indexed8 surface as 8-bit indexed colour with all
// 256 palette entries (JPEG: always colour). Saving writes a temporary file
// beside the target and renames it over the target, so a failed save leaves
// an existing file as it was. Paths are native (UTF-8 POSIX).

// The save formats, numbered as the library numbers them.
enum class ImageFormat { Bmp = 0, Jpeg = 1, Gif = 2, Png = 3, Tiff = 4 };
// The usual name extension with its dot: ".bmp", ".jpg", ".gif", ".png", ".tif".
const char* image_format_extension(ImageFormat format);

// What a file holds, told by its first bytes.
enum class ImageFileType { Unknown, Bmp, Jpeg, Gif, Png, Tiff, Ico, Wmf, Emf };
ImageFileType sniff_image_type(const std::uint8_t* head, std::size_t size);
// The same for a file, from its first bytes only; Unknown also when it
// cannot be read.
ImageFileType sniff_image_file(const std::string& path);

struct ImageFileInfo {
    ImageFileType type = ImageFileType::Unknown;
    // For an Indexed8 result, how many palette entries the file defines
    // (1..256); the rest of the surface's palette is black. 0 for Rgb32.
    int palette_entries = 0;
};

inline constexpr int kDefaultJpegQuality = 90;

// `out` (and `info`) are written only on success.
IoResult load_image(const std::string& path, Surface& out, ImageFileInfo* info = nullptr);
IoResult decode_image(const std::uint8_t* data, std::size_t size, Surface& out,
                      ImageFileInfo* info = nullptr);
// Whether a JPEG picture in memory decodes to its end, as decode_image would
// have it, at a fraction of the cost: its pixels are not made.
IoResult check_jpeg(const std::uint8_t* data, std::size_t size);
// The size load_image would give, from the headers alone.
IoResult read_image_size(const std::string& path, Size& out);

// jpeg_quality 1..100 (clamped), used by JPEG only; png_effort by PNG only;
// dpi (1..100000, clamped) by PNG and TIFF only. GIF from Rgb32 keeps the
// exact colours when there are at most 256 of them and otherwise reduces to
// 256 with libimagequant, each pixel taking the nearest of those colours (no
// dithering).
IoResult save_image(const Surface& surface, const std::string& path, ImageFormat format,
                    int jpeg_quality = kDefaultJpegQuality, PngEffort png_effort = PngEffort::Small,
                    int dpi = kDefaultDpi);
IoResult encode_image(const Surface& surface, ImageFormat format, int jpeg_quality,
                      std::vector<std::uint8_t>& out, PngEffort png_effort = PngEffort::Small, int dpi = kDefaultDpi);

}  // namespace plat
