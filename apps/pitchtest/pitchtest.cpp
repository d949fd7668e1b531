// pitchtest: a chart for finding the lens pitch that matches a lenticular
// sheet on a screen. A stereo pair dropped on the program (or given with
// --pair) is interleaved into strips, each at a pitch one step larger than
// the one above and labelled with it; "go" redraws with the input box's
// values, "cap" saves the chart as lenti_chart.png.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <string>

#include "lenticular/interleave.h"
#include "mavlib.h"

namespace {

const MAV_ProgramOption kOptions[] = {
    {"--pair", 1, "FILE", "stereo pair (left and right side by side) to load into image 0"},
};
[[maybe_unused]] const int kDeclared = MAV_DeclareProgramOptions(kOptions, 1);

constexpr int kPair = 0;   // the dropped stereo pair
constexpr int kWork = 1;   // the pair at three columns per chart subpixel
constexpr int kChart = 2;  // the chart
constexpr int kChartTop = 232;
constexpr int kLabelRow = 20;  // baseline of a strip's label below its top

struct State {
    double pitch = 8.0;
    double p_step = 1.0;
    int step = 20;
    int W = 640;
    int H = 42;
    LenticularParams params;
    InterleaveTarget target;
    std::string note;  // said once in the text window after the next pass
} g;

void reset_state() {
    g = State{};
    g.params.pitch = g.pitch;
    g.params.view_num = 2;
    g.params.pic_num = 2;
    g.params.AA = 1;
    g.params.gap = 0;
    g.params.pos = 0;
    g.params.lenticular = 0;
    g.target.source = kWork;
    g.target.output = kChart;
    g.target.start_column = 168;
    g.target.row_base = 0;
    g.target.width = g.W;
    g.target.height = g.H;
    g.target.layout = ViewLayout::SideBySide;
    g.target.summary = SummaryKind::ParameterBlock;
}

void run_pass() {
    g.params.pitch = g.pitch;
    InterleaveViews(g.params, g.target);
}

// Each picture of the pair becomes 3W columns of "work" and the height H rows:
// nearest neighbour, truncating.
void resample_into_work() {
    const int pics = g.params.pic_num;
    const int w0 = MAV_GetImageWidth(kPair) / pics;
    const int h0 = MAV_GetImageHeight(kPair);
    const double xs = double(w0) / (3.0 * g.W);
    const double ys = double(h0) / g.H;
    for (int y = 0; y < g.H; ++y) {
        const int sy = static_cast<int>(std::trunc(y * ys));
        for (int x = 0; x < pics * 3 * g.W; ++x) {
            MAV_SelectImage(kPair);
            int px = MAV_GetPixel(static_cast<int>(std::trunc(x * xs)), sy);
            MAV_SelectImage(kWork);
            MAV_SetPixel(x, y, px);
        }
    }
    MAV_Refresh(MAV_GetCurrentImage());
}

void draw_chart() {
    for (int i = 0; i < g.step; ++i) {
        g.target.row_base = g.H * i / 3;
        mav_tx = 0;
        mav_tx0 = 0;
        mav_ty = g.H * i + kLabelRow;
        mav_tc = 0xFFFFFF;
        MAV_PrintImage("%.3f", g.pitch);
        run_pass();
        g.pitch += g.p_step;
    }
}

// The chart's height for `step` strips, or 0 when it does not fit in an int.
int chart_rows(int step) {
    const long long rows = (static_cast<long long>(step) + 2) * g.H;
    return rows > INT_MAX ? 0 : static_cast<int>(std::max(rows, 1LL));
}

void go() {
    g.pitch = MAV_GetInputBoxDouble(0);
    g.p_step = MAV_GetInputBoxDouble(1);
    const int typed = MAV_GetInputBoxInt(2);
    const int rows = chart_rows(typed);
    const int result = rows == 0 ? 2 : MAV_ResizeImage(kChart, g.W, rows);
    if (result == 2 || result == 3) {
        // A chart the screen cannot show: the last good step stays in use.
        char line[96];
        std::snprintf(line, sizeof line, "step %d refused:\ncannot be shown\n", typed);
        g.note = line;
        MAV_ResizeImage(kChart, g.W, chart_rows(g.step));
    } else {
        g.step = typed;
    }
    draw_chart();
}

void cap() {
    MAV_SaveImage(MAV_GetImageHeight(MAV_GetCurrentImage()), MAV_GetImageWidth(MAV_GetCurrentImage()), 3,
                  "lenti_chart.png");
}

}  // namespace

void UserSetup(void) {
    reset_state();
    MAV_OpenTextWindow(0, 0, 0, 198, 198);
    if (MAV_OpenButtonBox(206, 0, 2, 1) == 0) {
        MAV_SetButtonBoxTitle(0, "go");
        MAV_SetButtonBoxTitle(1, "cap");
    }
    if (MAV_OpenInputBox(422, 0, 3) == 0) {
        MAV_SetInputBoxTitle(0, "pitch");
        MAV_SetInputBoxDouble(0, g.pitch);
        MAV_SetInputBoxTitle(1, "p_step");
        MAV_SetInputBoxDouble(1, g.p_step);
        MAV_SetInputBoxTitle(2, "step");
        MAV_SetInputBoxInt(2, g.step);
    }
    if (const char* pair = MAV_GetProgramOption("--pair")) {
        if (MAV_DropFile(pair) != 0) {
            std::fprintf(stderr, "pitchtest: cannot load the stereo pair '%s': %s; drop a picture on the main window\n",
                         pair, MAV_GetLastFileError());
        }
    }
}

void UserMain(void) {
    if (MAV_GetImageBits(kPair) == 0 || MAV_GetStretchMode(kPair) == 0) {
        MAV_Pause("\x83\x58\x83\x65\x83\x8c\x83\x49\x83\x79\x83\x41\x89\xe6\x91\x9c\x82\xf0\x83\x68\x83\x89\x83\x62"
                  "\x83\x4f\x82\xb5\x82\xc4\x89\xba\x82\xb3\x82\xa2");  // drag in a stereo pair picture
        return;
    }
    MAV_MoveImage(kPair, 0, kChartTop);
    MAV_CreateImage(kWork, "work", 0, 300, g.params.pic_num * 3 * g.W, g.H, 10);
    resample_into_work();
    MAV_CreateImage(kChart, "Hello,there!", 0, kChartTop, g.W, (g.step + 2) * g.H, 100);
    draw_chart();
    // Poll the buttons until the program ends; Stop does not end the chart.
    for (;;) {
        for (int i = 0; i < 2; ++i) {
            MAV_Printf("%s", "");  // pumps the thread's messages, prints nothing
            if (!MAV_ButtonPressed(i)) continue;
            if (i == 0) go();
            else cap();
            // One more pass with what the last chart or save left behind.
            run_pass();
            if (!g.note.empty()) MAV_Printf("%s", g.note.c_str());
            g.note.clear();
        }
        if (MAV_QuitRequested()) return;
        MAV_WaitMessages(1);
    }
}

void UserExit(void) {}
