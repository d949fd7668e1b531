// A program for end-to-end runs of the platform's choosers: at Start it opens
// the dialog MAV_TEST_DIALOG names ("color", "font" or "open") and writes
// what it returned into the file named by MAV_TEST_LOG.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mavlib.h"
#include "plat/ui/dialogs.h"
#include "test_log.h"

void UserSetup(void) {}

void UserMain(void) {
    const char* which = std::getenv("MAV_TEST_DIALOG");
    std::string dialog = which ? which : "";
    if (dialog == "color") {
        std::uint32_t rgb = 0x010203;
        std::array<std::uint32_t, 16> custom{};
        bool ok = plat::color_dialog({}, rgb, custom);
        log_line("color %d #%06X", int(ok), unsigned(rgb));
    } else if (dialog == "font") {
        plat::TrueTypeDescription desc{"IPAGothic", 16, 0, false, false, false};
        bool ok = plat::font_dialog({}, desc);
        log_line("font %d '%s' %d%s%s", int(ok), desc.family.c_str(), desc.height, desc.bold ? " bold" : "",
                 desc.italic ? " italic" : "");
    } else if (dialog == "open") {
        plat::FileDialogResult r = plat::open_file_dialog({}, {});
        log_line("open %d %s", int(r.ok), r.path.c_str());
    }
}

void UserExit(void) {}
