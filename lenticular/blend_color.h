// The blend of the first column of a strip with the column before it, inline
// so the buffer pass can call it per pixel without a call.
#pragma once

namespace lenticular {

// (1 - x) of a plus x of b, per channel, truncated: the arithmetic, in
// double precision and this order, is what fixes the result bit for bit.
inline int blend_color(double x, int a, int b) {
    const double w = 1.0 - x;
    int r = static_cast<int>(w * ((a >> 16) & 0xFF) + x * ((b >> 16) & 0xFF));
    int g = static_cast<int>(w * ((a >> 8) & 0xFF) + x * ((b >> 8) & 0xFF));
    int bl = static_cast<int>(w * (a & 0xFF) + x * (b & 0xFF));
    return (r << 16) + (g << 8) + bl;
}

// The same blend for many pixels with one weight: the byte values come from
// a table of doubles instead of a conversion each, and 1 - x is worked out
// once. Every product and sum is the one blend_color makes.
struct BlendWeights {
    double keep;  // 1 - x
    double take;  // x
};

inline const double* byte_values() {
    static const struct Table {
        double v[256];
        Table() {
            for (int i = 0; i < 256; ++i) v[i] = i;
        }
    } table;
    return table.v;
}

inline int blend_color(BlendWeights w, const double* values, unsigned a, unsigned b) {
    int r = static_cast<int>(w.keep * values[(a >> 16) & 0xFF] + w.take * values[(b >> 16) & 0xFF]);
    int g = static_cast<int>(w.keep * values[(a >> 8) & 0xFF] + w.take * values[(b >> 8) & 0xFF]);
    int bl = static_cast<int>(w.keep * values[a & 0xFF] + w.take * values[b & 0xFF]);
    return (r << 16) + (g << 8) + bl;
}

}  // namespace lenticular
