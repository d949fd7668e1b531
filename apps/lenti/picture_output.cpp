#include "picture_output.h"

#include "plat/codecs/codecs.h"

namespace lenti {

std::optional<Failure> write_picture(const plat::Surface& picture, const std::string& path, OutputFormat format,
                                     int dpi) {
    const plat::ImageFormat type = format == OutputFormat::Png ? plat::ImageFormat::Png : plat::ImageFormat::Tiff;
    // Run-length PNG: as small as the default on interleaved patterns, and
    // several times faster.
    if (plat::IoResult r = plat::save_image(picture, path, type, plat::kDefaultJpegQuality, plat::PngEffort::Fast, dpi); !r)
        return input_error("cannot write " + path + ": " + r.message);
    return std::nullopt;
}

}  // namespace lenti
