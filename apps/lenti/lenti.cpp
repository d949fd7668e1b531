// lenti: lenticular pictures from the command line. It uses the interleaving
// pass and the codecs directly: no library frame, no windows, no display.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "chart_command.h"
#include "failure.h"
#include "render_command.h"
#include "simulate_command.h"

namespace {

const char kUsage[] =
    "usage: lenti COMMAND [OPTIONS]   (lenti COMMAND --help for its options)\n"
    "Commands:\n"
    "  render   interleave a pair, view files or a grid of views into one picture, or a movie of grids\n"
    "  chart    the pitch chart: a pair interleaved in strips at pitches one step apart\n"
    "  simulate what each eye sees through a lens sheet laid on an interleaved picture\n"
    "lenti --version prints the version.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return lenti::kExitUsage;
    }
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return lenti::kExitDone;
    }
    if (command == "--version") {
        std::printf("lenti (mavlib) %s\n", MAV_VERSION);
        return lenti::kExitDone;
    }
    if (command == "render") return lenti::run_render(args);
    if (command == "chart") return lenti::run_chart(args);
    if (command == "simulate") return lenti::run_simulate(args);
    std::fprintf(stderr, "lenti: unknown command '%s' (see lenti --help)\n", command.c_str());
    return lenti::kExitUsage;
}
