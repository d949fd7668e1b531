// The "Pixel" report: one pixel's value in six colour spaces, printed to
// the text window.
#include "image/colour_formulas.h"
#include "image/measurements.h"
#include "mavlib.h"

namespace mav {

void report_pixel(int x, int y) {
    const int bits = MAV_GetImageBits(MAV_GetCurrentImage());
    MAV_EnsureTextWindow();
    const int pixel = MAV_GetPixel(x, y);
    MAV_Printf("(X,Y)=(%d,%d)\n", x, y);
    if (bits == 8) {
        MAV_Printf("(Luminance)=(%d)\n\n", pixel);
        return;
    }
    const colour::Rgb c = colour::channels(pixel);
    int h = 0, s = 0, v = 0;
    MAV_RgbToHsv(pixel, &h, &s, &v);
    const int luma = colour::luma(c);
    MAV_Printf("(R,G,B)=(%d,%d,%d)\n", c.r, c.g, c.b);
    MAV_Printf("(H,S,V)=(%d,%d,%d)\n", h, s, v);
    MAV_Printf("(Y,Cr,Cb)=(%d,%d,%d)\n", luma, colour::cr(c), colour::cb(c));
    MAV_Printf("(Y,u,v)=(%d,%d,%d)\n", luma, colour::u(c), colour::v(c));
    MAV_Printf("(Y,I,Q)=(%d,%d,%d)\n\n", luma, colour::i(c), colour::q(c));
}

}  // namespace mav
