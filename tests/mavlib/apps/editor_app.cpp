// A program for end-to-end runs of the image window's own editor. At setup
// it opens image 0, "canvas", 240 x 180, painted in bands, with its client
// area's top-left at the screen point MAV_TEST_ORIGIN ("X Y"), and draws
// into it the calls listed in MAV_TEST_CALLS, one per ';':
//   colour C        draw colour, mav_tc and mav_tttc = C (hex or decimal)
//   line X1 Y1 X2 Y2, box L T R B, fillbox, xorfillbox, circle CX CY R,
//   fillcircle, xorfillcircle, paint X Y
//   pick X Y        draw colour and mav_tttc = the pixel's value
//   text X Y WORD   bitmap-font text with the baseline-left at (X, Y)
//   tttext L T R B WORD   TrueType text fitted into the box
// A script then drives the window's menus in the same order, and the test
// compares the two pictures.
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "image/image_table.h"
#include "mavlib.h"
#include "plat/core/window.h"

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 180;

void paint_canvas() {
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            MAV_SetPixel(x, y, (x / 12) % 2 ? 0x304870 + (y / 30) * 0x000010 : 0x806040 + (x / 24) * 0x000100);
}

void place_client_at(int x, int y) {
    plat::Hwnd h = mav::image_record(0).hwnd;
    plat::Rect wr = plat::window_rect(h);
    plat::Point o = plat::client_origin(h);
    MAV_MoveImage(0, x - (o.x - wr.left), y - (o.y - wr.top));
}

void draw_call(const std::string& call) {
    std::istringstream in(call);
    std::string verb;
    in >> verb;
    int a = 0, b = 0, c = 0, d = 0;
    std::string word;
    const int colour = MAV_GetDrawColor();
    if (verb == "colour") {
        std::string v;
        in >> v;
        int value = int(std::strtol(v.c_str(), nullptr, 0));
        MAV_SetDrawColor(value);
        mav_tc = value;
        mav_tttc = value;
    } else if (verb == "line" && in >> a >> b >> c >> d) {
        MAV_Line(colour, a, b, c, d);
    } else if (verb == "box" && in >> a >> b >> c >> d) {
        MAV_Box(a, b, c, d);
    } else if (verb == "fillbox" && in >> a >> b >> c >> d) {
        MAV_FillBox(a, b, c, d);
    } else if (verb == "xorfillbox" && in >> a >> b >> c >> d) {
        MAV_XorFillBox(a, b, c, d);
    } else if (verb == "circle" && in >> a >> b >> c) {
        MAV_Circle(colour, a, b, c);
    } else if (verb == "fillcircle" && in >> a >> b >> c) {
        MAV_FillCircle(a, b, c);
    } else if (verb == "xorfillcircle" && in >> a >> b >> c) {
        MAV_XorFillCircle(a, b, c);
    } else if (verb == "paint" && in >> a >> b) {
        MAV_Fill(a, b);
    } else if (verb == "pick" && in >> a >> b) {
        int value = MAV_GetPixel(a, b);
        MAV_SetDrawColor(value);
        mav_tttc = value;
    } else if (verb == "text" && in >> a >> b >> word) {
        mav_tx = mav_tx0 = a;
        mav_ty = b;
        mav_tc = colour;
        MAV_PrintImage("%s", word.c_str());
    } else if (verb == "tttext" && in >> a >> b >> c >> d >> word) {
        mav_tx = mav_tx0 = a;
        mav_ty = d;
        MAV_SetTTFontSize(c - a + 1, d - b + 1);
        MAV_PutTTString(word.c_str());
    } else if (!verb.empty()) {
        std::fprintf(stderr, "editor_app: cannot read the call '%s'\n", call.c_str());
    }
}

}  // namespace

void UserSetup(void) {
    if (MAV_CreateImage(0, "canvas", 0, 0, kWidth, kHeight, 100) != 0) return;
    paint_canvas();
    int x = 100, y = 100;
    if (const char* origin = std::getenv("MAV_TEST_ORIGIN")) std::sscanf(origin, "%d %d", &x, &y);
    place_client_at(x, y);
    if (const char* calls = std::getenv("MAV_TEST_CALLS")) {
        std::istringstream in(calls);
        for (std::string call; std::getline(in, call, ';');) draw_call(call);
    }
    MAV_Refresh(0);
}

void UserMain(void) {}
void UserExit(void) {}
