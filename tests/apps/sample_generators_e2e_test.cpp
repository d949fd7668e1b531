// The sample generators as a careless user calls them: --help shows the
// usage and writes nothing, an option they do not take is refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/process.h"
#include "support/temp_folder.h"

using testsupport::RunResult;
using testsupport::run_program;

TEST(SampleGenerators, AnswerHelpWithTheirUsageAndRefuseUnknownOptionsWithoutWritingAnything) {
    testsupport::TempFolder dir("samples_");
    auto run_in_dir = [&](const std::string& app, const std::string& args) {
        return run_program("/bin/sh", {"-c", "cd '" + dir.str() + "' && exec '" + app + "' " + args});
    };
    for (const auto& [app, operands] : {std::pair<std::string, std::string>{STEREO_PAIR_APP, "OUT.png [VIEW_WIDTH"},
                                        {GRID_MOVIE_APP, "OUT.avi [WIDTH HEIGHT [FRAMES]]"}}) {
        for (const char* help : {"--help", "-h"}) {
            RunResult r = run_in_dir(app, help);
            EXPECT_EQ(r.exit_code, 0) << app << " " << help << ": " << r.err;
            EXPECT_NE(r.out.find("usage: " + app + " " + operands), std::string::npos) << r.out;
        }
        for (const char* bad : {"--size=300", "out.png -q", ""}) {
            RunResult r = run_in_dir(app, bad);
            EXPECT_EQ(r.exit_code, 2) << app << " " << bad;
            EXPECT_NE(r.err.find(*bad ? "unknown option '-" : "no output file given"), std::string::npos) << r.err;
            EXPECT_NE(r.err.find("usage: "), std::string::npos) << r.err;
        }
        EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << app << " wrote a file";
    }
}
