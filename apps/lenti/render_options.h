// What `lenti render` is asked to do, read from its command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "failure.h"

namespace lenti {

enum class ViewInput { Pair, Views, Grid };
enum class OutputFormat { Png, Tiff, Folder, Avi };  // Folder and Avi: for a movie

inline constexpr int kMinViews = 2;
inline constexpr int kMaxViews = 9;
inline constexpr int kMaxSide = 16384;  // of the output, in pixels

struct RenderOptions {
    ViewInput input = ViewInput::Pair;
    std::vector<std::string> files;   // one picture, or one per view; none for a movie
    std::string movie;                // a movie of grids (input Grid), every frame rendered
    int grid_columns = 0, grid_rows = 0;
    double pitch = 0.0;
    int views_used = 0;  // 0: every view given
    int gap = 0;
    int pos = 0;
    bool aa = true;
    bool normal_mode = false;  // the pass's reverse mode unless asked
    int width = 0, height = 0;  // 0: the size of the first picture
    std::string out;
    OutputFormat format = OutputFormat::Png;
    int dpi = 72;

    // How many views the input holds.
    int view_count() const;
};

// The file type an output name asks for by its extension (.png, .tif, .tiff,
// .avi), or a folder: a name ending in '/' or an existing folder.
std::optional<OutputFormat> output_format_of(const std::string& path);

// Reads the arguments after "render"; a Failure (exit code 2) says what is wrong.
std::optional<Failure> parse_render_options(const std::vector<std::string>& args, RenderOptions& out);

// The text of `lenti render --help`.
const char* render_usage();

}  // namespace lenti
