// A script's answer-dialog reaches the dialog its previous action opens as it
// was written: the colour and font dialogs read the text itself, and the file
// dialogs still map a Windows-style name to the drive folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_folder.h"

using testsupport::read_file;
using testsupport::RunResult;
using testsupport::run_program;

namespace {

class ChooserE2E : public ::testing::Test {
protected:
    void SetUp() override { dir_.folder("runtime"); }

    // The program's log after a run that opens `dialog` at Start.
    std::string run(const std::string& dialog, const std::string& actions) {
        std::string log = dir_.file(dialog + ".log");
        std::filesystem::remove(log);
        RunResult r = run_program(CHOOSER_APP, {"--headless", "--do", actions},
                                  {"MAV_TEST_LOG=" + log, "MAV_TEST_DIALOG=" + dialog,
                                   "PLAT_RUNTIME_DIR=" + dir_.file("runtime"), "PLAT_DRIVE_ROOT=" + dir_.file("drives")},
                                  60);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        err_ = r.err;
        return read_file(log);
    }

    testsupport::TempFolder dir_{"e2e_chooser_"};
    std::string err_;
};

}  // namespace

TEST_F(ChooserE2E, AnswersReachTheDialogsAsWritten) {
    EXPECT_EQ(run("color", "start; answer-dialog \"#1E90ff\""), "color 1 #1E90FF\n");
    EXPECT_EQ(run("color", "start; answer-dialog 30,144,255"), "color 1 #1E90FF\n");
    // A backslash in a family name stays one: the text is no file name.
    EXPECT_EQ(run("font", "start; answer-dialog \"Odd\\Face,24,bold\""), "font 1 'Odd\\Face' 24 bold\n");
    EXPECT_EQ(run("open", "start; answer-dialog \"c:\\pics\\a.png\""), "open 1 " + dir_.file("drives") + "/c/pics/a.png\n");

    // Unreadable, cancelled or missing answers cancel.
    EXPECT_EQ(run("font", "start; answer-dialog \"IPAGothic\""), "font 0 'IPAGothic' 16\n");
    EXPECT_NE(err_.find("cannot read the answer 'IPAGothic'"), std::string::npos) << err_;
    EXPECT_EQ(run("color", "start; answer-dialog cancel"), "color 0 #010203\n");
    EXPECT_EQ(run("color", "start"), "color 0 #010203\n");
    EXPECT_NE(err_.find("Color\n"), std::string::npos) << err_;
}
