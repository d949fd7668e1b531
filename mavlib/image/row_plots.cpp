// Plots of a picked row or area in new 32-bit images: waveforms of the row's
// channels over a 128-row band, and scatter plots in the Cb-Cr plane. The
// curves are polylines drawn from the pen, so the drawing order decides
// what shows where curves overlap.
#include <cstdio>
#include <cstdint>
#include <utility>
#include <vector>

#include "image/colour_formulas.h"
#include "image/measurements.h"
#include "mavlib.h"

namespace mav {

namespace {

constexpr int kBandHeight = 128;
constexpr int kScatterSize = 256;
constexpr int kAxisColour = 0x808080;
constexpr int kCrColour = 0xFF8888;
constexpr int kCbColour = 0x8888FF;

// The first image number from 0 up whose creation succeeds; the new image
// is current. -1 when none does.
int create_plot_image(const char* title, int width, int height) {
    for (int index = 0; index < 256; ++index)
        if (MAV_CreateImage(index, title, 0, 0, width, height, 100) == 0) return index;
    return -1;
}

// Row y of the current image as pixel values (bytes on 8-bit images).
std::vector<int> read_row(int y) {
    const int index = MAV_GetCurrentImage();
    const int width = MAV_GetImageWidth(index);
    if (width <= 0) return {};
    std::vector<int> row(std::size_t(width), 0);
    if (MAV_GetImageBits(index) == 8) {
        std::vector<std::uint8_t> bytes(row.size(), 0);
        MAV_GetRow(bytes.data(), y, width);
        row.assign(bytes.begin(), bytes.end());
    } else {
        MAV_GetRow(row.data(), y, width);
    }
    return row;
}

enum class Channel { R, G, B, H, S, V, Y, Cr, Cb, Byte };

int channel_value(Channel ch, int pixel) {
    const colour::Rgb c = colour::channels(pixel);
    switch (ch) {
    case Channel::R: return c.r;
    case Channel::G: return c.g;
    case Channel::B: return c.b;
    case Channel::H: return MAV_Hue(pixel);
    case Channel::S: return MAV_Saturation(pixel);
    case Channel::V: return MAV_Value(pixel);
    case Channel::Y: return colour::luma(c);
    case Channel::Cr: return colour::cr(c) + 128;
    case Channel::Cb: return colour::cb(c) + 128;
    case Channel::Byte: return pixel & 255;
    }
    return 0;
}

// Draws a polyline in `colour` through the points, starting with a pixel.
template <typename PointOf>
void polyline(std::size_t count, int colour, PointOf&& point_of) {
    for (std::size_t i = 0; i < count; ++i) {
        const auto [x, y] = point_of(i);
        if (i == 0) {
            MAV_SetPixel(x, y, colour);
        } else {
            int px = 0, py = 0;
            MAV_GetPenPosition(&px, &py);
            MAV_Line(colour, px, py, x, y);
        }
    }
}

// One waveform: value 255 (359 for hue) on band row 0, value 0 on row 127.
void waveform(const std::vector<int>& row, int x0, Channel ch, int colour) {
    const int divisor = ch == Channel::H ? 359 : 255;
    polyline(row.size(), colour, [&](std::size_t i) {
        const int y = kBandHeight - 1 - channel_value(ch, row[i]) * (kBandHeight - 1) / divisor;
        return std::pair{x0 + int(i), y};
    });
}

void label(const char* text, int x, int baseline, int colour) {
    mav_tx = x;
    mav_tx0 = x;
    mav_ty = baseline;
    mav_tc = colour;
    MAV_PutString(text);
}

struct Curve {
    Channel channel;
    int colour;
    const char* label;
    int label_x;
};

struct WaveformPlot {
    const char* title;  // with the row number
    int x0;             // left margin for the labels
    Curve curves[3];
    int curve_count;
};

constexpr int kLabelBaselines[3] = {40, 72, 104};

constexpr WaveformPlot kRgbPlot{"RGB(Y=%d)",
                                12,
                                {{Channel::R, 0xFF0000, "R", 2}, {Channel::G, 0x00FF00, "G", 2}, {Channel::B, 0x0000FF, "B", 2}},
                                3};
constexpr WaveformPlot kHsvPlot{"HSV(Y=%d)",
                                12,
                                {{Channel::H, 0xFFFF00, "H", 2}, {Channel::S, 0xFF00FF, "S", 2}, {Channel::V, 0x00FFFF, "V", 2}},
                                3};
constexpr WaveformPlot kYCrCbPlot{"YCrCb(Y=%d)",
                                  20,
                                  {{Channel::Y, 0xFFFFFF, "Y", 4}, {Channel::Cr, kCrColour, "Cr", 2}, {Channel::Cb, kCbColour, "Cb", 2}},
                                  3};
constexpr WaveformPlot kLumiPlot{"Luminance(Y=%d)", 12, {{Channel::Byte, 0xFFFFFF, "L", 2}}, 1};

int plot_waveforms(const WaveformPlot& plot, int y) {
    const std::vector<int> row = read_row(y);
    if (row.empty()) return -1;  // no current image to plot
    char title[64];
    std::snprintf(title, sizeof title, plot.title, y);
    const int index = create_plot_image(title, int(row.size()) + plot.x0, kBandHeight);
    if (index < 0) return -1;
    for (int k = 0; k < plot.curve_count; ++k) waveform(row, plot.x0, plot.curves[k].channel, plot.curves[k].colour);
    for (int k = 0; k < plot.curve_count; ++k)
        label(plot.curves[k].label, plot.curves[k].label_x, kLabelBaselines[k], plot.curves[k].colour);
    MAV_Refresh(index);
    return index;
}

// The scatter plot's image: grey axes through the middle, labelled.
int create_scatter_image(const char* title) {
    const int index = create_plot_image(title, kScatterSize, kScatterSize);
    if (index < 0) return -1;
    MAV_Line(kAxisColour, 0, 128, 256, 128);
    MAV_Line(kAxisColour, 128, 0, 128, 256);
    label("Cr", 110, 16, kCrColour);
    label("Cb", 238, 144, kCbColour);
    return index;
}

std::pair<int, int> scatter_point(int pixel) {
    const colour::Rgb c = colour::channels(pixel);
    return {128 + colour::cb(c), 128 - colour::cr(c)};
}

// The row's points joined in order, the segments alternating magenta and
// white so that the direction of the walk can be followed.
int plot_row_crcb(int y) {
    const std::vector<int> row = read_row(y);
    if (row.empty()) return -1;
    char title[64];
    std::snprintf(title, sizeof title, "CrCb(Y=%d)", y);
    const int index = create_scatter_image(title);
    if (index < 0) return -1;
    int colour = 0xFFFFFF;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const auto [x, py] = scatter_point(row[i]);
        if (i == 0) {
            MAV_SetPixel(x, py, colour);
        } else {
            int pen_x = 0, pen_y = 0;
            MAV_GetPenPosition(&pen_x, &pen_y);
            MAV_Line(colour, pen_x, pen_y, x, py);
        }
        colour ^= 0x00FF00;
    }
    MAV_Refresh(index);
    return index;
}

}  // namespace

int plot_row(int command, int y) {
    switch (command) {
    case cmd::kInfoLineRgb: return plot_waveforms(kRgbPlot, y);
    case cmd::kInfoLineHsv: return plot_waveforms(kHsvPlot, y);
    case cmd::kInfoLineYCrCb: return plot_waveforms(kYCrCbPlot, y);
    case cmd::kInfoLineLumi: return plot_waveforms(kLumiPlot, y);
    case cmd::kInfoLineCrCb: return plot_row_crcb(y);
    default: return -1;
    }
}

int plot_area_crcb(int left, int top, int right, int bottom) {
    // A picked box lies inside the image; anything larger is refused rather
    // than copied, which bounds the copy by the image's size.
    const int source = MAV_GetCurrentImage();
    const std::int64_t columns = std::int64_t(right) - left + 1;
    const std::int64_t rows = std::int64_t(bottom) - top + 1;
    if (columns <= 0 || rows <= 0 || columns > MAV_GetImageWidth(source) || rows > MAV_GetImageHeight(source))
        return -1;
    std::vector<int> area;
    area.reserve(std::size_t(columns * rows));
    for (std::int64_t r = 0; r < rows; ++r)
        for (std::int64_t c = 0; c < columns; ++c) area.push_back(MAV_GetPixel(int(left + c), int(top + r)));

    char title[96];
    std::snprintf(title, sizeof title, "CrCb(%d,%d)-(%d,%d)", left, top, right, bottom);
    const int index = create_scatter_image(title);
    if (index < 0) return -1;
    for (std::size_t r = 0; r < std::size_t(rows); ++r)
        polyline(std::size_t(columns), 0xFFFFFF,
                 [&](std::size_t c) { return scatter_point(area[r * std::size_t(columns) + c]); });
    MAV_Refresh(index);
    return index;
}

}  // namespace mav
