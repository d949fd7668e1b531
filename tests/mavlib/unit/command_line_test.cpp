#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "mavlib.h"
#include "shell/options.h"
#include "shell/script.h"
#include "shell/script_verbs.h"
#include "support/temp_folder.h"

using namespace mav;

namespace {

ParseResult parse(std::vector<const char*> args, LibraryOptions& out) {
    args.insert(args.begin(), "prog");
    return parse_command_line(int(args.size()), args.data(), out);
}

}  // namespace

TEST(CommandLine, LibraryOptions) {
    LibraryOptions o;
    ASSERT_TRUE(parse({"--headless", "--screen", "800x600", "--do", "start; exit"}, o).ok);
    EXPECT_TRUE(o.headless);
    EXPECT_EQ(o.screen, (plat::Size{800, 600}));
    EXPECT_EQ(o.script_text, "start; exit");
    LibraryOptions eq;
    ASSERT_TRUE(parse({"--screen=1024x768"}, eq).ok);
    EXPECT_EQ(eq.screen, (plat::Size{1024, 768}));
}

TEST(CommandLine, VersionIsALibraryOptionListedInTheHelp) {
    LibraryOptions given, absent;
    ASSERT_TRUE(parse({"--headless", "--version"}, given).ok);
    EXPECT_TRUE(given.version);
    ASSERT_TRUE(parse({"--headless"}, absent).ok);
    EXPECT_FALSE(absent.version);
    EXPECT_NE(usage_text("prog").find("  --version "), std::string::npos);
}

TEST(CommandLine, CameraOptionsChooseVirtualCamerasAndTheirSource) {
    LibraryOptions none, counted, sourced;
    ASSERT_TRUE(parse({"--headless"}, none).ok);
    EXPECT_EQ(none.virtual_cameras, -1);
    ASSERT_TRUE(parse({"--virtual-cameras", "0"}, counted).ok);
    EXPECT_EQ(counted.virtual_cameras, 0);
    ASSERT_TRUE(parse({"--camera-source=pair.png", "--virtual-cameras", "8"}, sourced).ok);
    EXPECT_EQ(sourced.camera_source, "pair.png");
    EXPECT_EQ(sourced.virtual_cameras, 8);
    for (const char* bad : {"9", "-1", "2x", ""}) {
        LibraryOptions o;
        ParseResult r = parse({"--virtual-cameras", bad}, o);
        EXPECT_FALSE(r.ok) << bad;
        EXPECT_NE(r.error.find("from 0 to 8"), std::string::npos) << r.error;
    }
    LibraryOptions o;
    EXPECT_FALSE(parse({"--camera-source"}, o).ok);
}

TEST(CommandLine, ABatchOptionMakesTheRunAHeadlessBatchRunOnlyWhenGiven) {
    static const MAV_ProgramOption kBatch[] = {{"--batch-job", 0, "", "batch"}, {"--level", 1, "N", "level"}};
    MAV_DeclareProgramOptions(kBatch, 2);
    ASSERT_EQ(MAV_DeclareBatchOption("--batch-job"), 0);
    LibraryOptions with, without;
    ASSERT_TRUE(parse({"--level", "3", "--batch-job"}, with).ok);
    EXPECT_TRUE(with.headless);
    EXPECT_TRUE(with.batch);
    ASSERT_TRUE(parse({"--level", "3"}, without).ok);
    EXPECT_FALSE(without.headless || without.batch);
}

TEST(CommandLine, ClearErrors) {
    auto error_of = [](std::vector<const char*> args) {
        LibraryOptions o;
        ParseResult r = parse(std::move(args), o);
        EXPECT_FALSE(r.ok);
        return r.error;
    };
    EXPECT_NE(error_of({"--bogus"}).find("unknown option '--bogus'"), std::string::npos);
    EXPECT_NE(error_of({"--screen", "wide"}).find("not a size"), std::string::npos);
    EXPECT_NE(error_of({"--screen", "10x10"}).find("not a size"), std::string::npos);
    EXPECT_NE(error_of({"--screen"}).find("needs a size"), std::string::npos);
    EXPECT_NE(error_of({"--do", "exit", "--do", "exit"}).find("once"), std::string::npos);
    EXPECT_NE(error_of({"--script", "/nonexistent/script.txt"}).find("no such file"), std::string::npos);
}

TEST(CommandLine, AScriptIsReadOnlyFromARegularFileOfAtMostSixteenMiB) {
    testsupport::TempFolder dir{"script_files_"};
    const std::string fifo = dir.file("fifo"), big = dir.file("big.txt"), good = dir.file("good.txt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(good) << "start; exit\n";
    std::ofstream(big) << "exit\n";
    ASSERT_EQ(::truncate(big.c_str(), (16 << 20) + 1), 0);
    for (const auto& [path, reason] : std::vector<std::pair<std::string, std::string>>{
             {dir.str(), "a directory, not a file"}, {fifo, "a FIFO, not a file"},
             {"/dev/zero", "a device, not a file"}, {big, "larger than 16 MiB"}}) {
        LibraryOptions o;
        const ParseResult r = parse({"--script", path.c_str()}, o);
        EXPECT_FALSE(r.ok) << path;
        EXPECT_EQ(r.error, "--script '" + path + "': " + reason);
    }
    LibraryOptions o;
    ASSERT_TRUE(parse({"--script", good.c_str()}, o).ok);
    EXPECT_EQ(o.script_text, "start; exit\n");
}

TEST(Script, ParsesActionsWithQuotesAndComments) {
    ScriptParse s = parse_script("start; wait 200\n# a comment; not an action\nscreenshot \"my shot.png\"; key Ctrl+V;exit");
    ASSERT_TRUE(s.ok) << s.error;
    ASSERT_EQ(s.actions.size(), 5u);
    EXPECT_EQ(s.actions[0].kind, ScriptAction::Start);
    EXPECT_EQ(s.actions[1].kind, ScriptAction::Wait);
    EXPECT_EQ(s.actions[1].number, 200);
    EXPECT_EQ(s.actions[2].kind, ScriptAction::Screenshot);
    EXPECT_EQ(s.actions[2].arg, "my shot.png");
    EXPECT_EQ(s.actions[3].arg, "Ctrl+V");
    EXPECT_EQ(s.actions[4].kind, ScriptAction::Exit);
}

TEST(Script, SaveImageTakesAnImageNumberAndAFile) {
    ScriptParse s = parse_script("save-image 255 \"out dir/a.png\"\nsave-image 0 b.png");
    ASSERT_TRUE(s.ok) << s.error;
    ASSERT_EQ(s.actions.size(), 2u);
    EXPECT_EQ(s.actions[0].kind, ScriptAction::SaveImage);
    EXPECT_EQ(s.actions[0].number, 255);
    EXPECT_EQ(s.actions[0].arg, "out dir/a.png");
    EXPECT_EQ(s.actions[1].number, 0);
    EXPECT_EQ(s.actions[1].arg, "b.png");
    for (const char* bad : {"save-image", "save-image 3", "save-image x f.png", "save-image 256 f.png",
                            "save-image 300 f.png", "save-image -1 f.png", "save-image 3x f.png"}) {
        ScriptParse p = parse_script(bad);
        EXPECT_FALSE(p.ok) << bad;
        EXPECT_NE(p.error.find("save-image needs an image number from 0 to 255 and a file name"), std::string::npos)
            << bad << ": " << p.error;
    }
}

TEST(Script, RejectsWhatItCannotRun) {
    EXPECT_EQ(parse_script("jump").error, "unknown action 'jump'");
    EXPECT_FALSE(parse_script("wait soon").ok);
    EXPECT_FALSE(parse_script("wait -5").ok);
    EXPECT_FALSE(parse_script("key Hyper").ok);
    EXPECT_FALSE(parse_script("screenshot").ok);
    EXPECT_FALSE(parse_script("start now").ok);
    EXPECT_FALSE(parse_script("wait-input now").ok);
    EXPECT_TRUE(parse_script("  ;; \n").ok);
}

// The verb table is the one list: each verb parses to its own kind with an
// argument a person would give, and --help lists each one, in the table's
// order, on lines that fit 80 columns.
TEST(Script, EveryVerbOfTheTableParsesAndIsListedInTheHelpInOrder) {
    const std::vector<std::pair<std::string, std::string>> samples = {
        {"start", ""}, {"stop", ""}, {"exit", ""}, {"key", "Ctrl+V"}, {"type", "hello"}, {"click", "10 20"},
        {"rclick", "-5 7"}, {"mclick", "0 0"}, {"move", "3 4"}, {"menu", "Process.../R. Rotate"}, {"wait", "5"},
        {"idle", ""}, {"wait-input", ""}, {"screenshot", "a.png"}, {"save-image", "2 \"b c.png\""},
        {"drop", "in.bmp"}, {"button", "Go"}, {"field", "1 \"x y\""}, {"answer-dialog", "cancel"}};
    const std::string help = script_actions_help();
    std::string flat = help;
    for (std::size_t nl; (nl = flat.find("\n  ")) != std::string::npos;) flat.replace(nl, 3, " ");
    std::set<int> kinds;
    std::size_t listed_at = 0;
    ASSERT_EQ(script_verbs().size(), samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const ScriptVerb& v = script_verbs()[i];
        EXPECT_EQ(v.name, samples[i].first);
        ScriptParse p = parse_script(samples[i].first + " " + samples[i].second);
        ASSERT_TRUE(p.ok) << v.name << ": " << p.error;
        ASSERT_EQ(p.actions.size(), 1u);
        EXPECT_EQ(p.actions[0].kind, v.kind) << v.name;
        EXPECT_EQ(&script_verb(v.kind), &v) << v.name;
        kinds.insert(int(v.kind));
        const std::size_t at = flat.find(v.help, listed_at);
        EXPECT_NE(at, std::string::npos) << v.name << " is not listed after the verbs before it";
        if (at != std::string::npos) listed_at = at + 1;
    }
    EXPECT_EQ(kinds.size(), samples.size());
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 79u) << line;
}
