#include "shell/options.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <sstream>

#include "mavlib.h"
#include "plat/codecs/input_file.h"
#include "shell/script.h"

namespace mav {

namespace {

// Far more than any list of actions a person writes.
constexpr std::size_t kMaxScriptBytes = std::size_t(16) << 20;

std::vector<DeclaredOption>& declared() {
    static std::vector<DeclaredOption>* v = new std::vector<DeclaredOption>;
    return *v;
}

// The program's option values. MAV_GetProgramOption hands out pointers into
// them, so a set of values is never changed or freed once published: a new
// set replaces the current one and the old stays where it was.
using OptionValues = std::vector<std::pair<std::string, std::string>>;
std::mutex g_values_mutex;
const OptionValues* g_values = new OptionValues;

const OptionValues& current_values() {
    std::lock_guard lock(g_values_mutex);
    return *g_values;
}

// Declared options that make a run a batch run whenever they are given.
std::vector<std::string>& batch_options() {
    static std::vector<std::string>* v = new std::vector<std::string>;
    return *v;
}

bool is_batch_option(const std::string& name) {
    for (const auto& h : batch_options())
        if (h == name) return true;
    return false;
}

const DeclaredOption* find_declared(const std::string& name) {
    for (const auto& o : declared())
        if (o.name == name) return &o;
    return nullptr;
}

bool parse_screen(const std::string& text, plat::Size& out) {
    auto x = text.find_first_of("xX");
    if (x == std::string::npos || x == 0 || x + 1 >= text.size()) return false;
    char* end = nullptr;
    errno = 0;
    long w = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + x || errno) return false;
    long h = std::strtol(text.c_str() + x + 1, &end, 10);
    if (*end != '\0' || errno) return false;
    if (w < 320 || h < 200 || w > 16384 || h > 16384) return false;
    out = {int(w), int(h)};
    return true;
}

}  // namespace

const std::vector<DeclaredOption>& declared_options() { return declared(); }

void set_program_values(std::vector<std::pair<std::string, std::string>> v) {
    auto* published = new OptionValues(std::move(v));
    std::lock_guard lock(g_values_mutex);
    static auto* retired = new std::vector<const OptionValues*>;  // reachable, so no leak is reported
    retired->push_back(g_values);
    g_values = published;
}

ParseResult parse_command_line(int argc, const char* const* argv, LibraryOptions& out) {
    auto fail = [](std::string why) { return ParseResult{false, std::move(why)}; };
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        std::string value;
        bool inline_value = false;
        // Accept both "--opt value" and "--opt=value".
        if (a.rfind("--", 0) == 0) {
            auto eq = a.find('=');
            if (eq != std::string::npos) {
                value = a.substr(eq + 1);
                a = a.substr(0, eq);
                inline_value = true;
            }
        }
        auto take_value = [&](std::string& v) -> bool {
            if (inline_value) {
                v = value;
                return true;
            }
            if (i + 1 >= argc) return false;
            v = argv[++i];
            return true;
        };
        if (a == "--headless") {
            out.headless = true;
        } else if (a == "--help" || a == "-h") {
            out.help = true;
        } else if (a == "--version") {
            out.version = true;
        } else if (a == "--screen") {
            std::string v;
            if (!take_value(v)) return fail("--screen needs a size such as 1920x1080");
            if (!parse_screen(v, out.screen))
                return fail("--screen: '" + v + "' is not a size from 320x200 to 16384x16384 (WIDTHxHEIGHT)");
            out.screen_given = true;
        } else if (a == "--virtual-cameras") {
            std::string v;
            if (!take_value(v)) return fail("--virtual-cameras needs a number of cameras from 0 to 8");
            char* end = nullptr;
            const long n = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || n < 0 || n > 8)
                return fail("--virtual-cameras: '" + v + "' is not a number of cameras from 0 to 8");
            out.virtual_cameras = int(n);
        } else if (a == "--camera-source") {
            std::string v;
            if (!take_value(v) || v.empty()) return fail("--camera-source needs a stereo pair picture or a side-by-side movie");
            out.camera_source = v;
        } else if (a == "--do") {
            std::string v;
            if (!take_value(v)) return fail("--do needs a list of actions, e.g. --do \"start; wait 500; exit\"");
            if (out.has_script) return fail("give either --do or --script, once");
            out.script_text = v;
            out.script_source = "--do";
            out.has_script = true;
        } else if (a == "--script") {
            std::string v;
            if (!take_value(v)) return fail("--script needs a file name");
            if (out.has_script) return fail("give either --do or --script, once");
            // Bounded, and only from a regular file: /dev/zero or a FIFO would feed or block us forever.
            if (plat::IoResult r = plat::read_input_file(v, kMaxScriptBytes, out.script_text); !r)
                return fail("--script '" + v + "': " + r.message);
            out.script_source = v;
            out.has_script = true;
        } else if (const DeclaredOption* d = find_declared(a)) {
            std::string v;
            if (d->takes_value) {
                if (!take_value(v)) return fail(a + " needs a value (" + d->value_name + ")");
            } else if (inline_value) {
                return fail(a + " takes no value");
            }
            out.program_values.emplace_back(a, v);
            if (is_batch_option(a)) out.batch = out.headless = true;
        } else {
            return fail("unknown option '" + std::string(argv[i]) + "' (see --help)");
        }
    }
    return {};
}

std::string usage_text(const char* program) {
    std::ostringstream s;
    s << "Usage: " << program << " [options]\n\n"
      << "Library options:\n"
      << "  --headless          run without a display, even if one exists\n"
      << "  --screen WxH        size of the headless screen (default 1920x1080)\n"
      << "  --do \"ACTIONS\"      run actions as a user would, separated by ';'\n"
      << "  --script FILE       run the actions in FILE, one per line\n"
      << "  --virtual-cameras N use N virtual cameras (0 to 8) instead of the system's\n"
      << "  --camera-source FILE  the virtual cameras show the halves of this stereo pair\n"
      << "                      picture or side-by-side movie (camera 0 the left half)\n"
      << "  --help              show this help\n"
      << "  --version           show the program's name and the library's version\n\n"
      << script_actions_help();
    if (!declared().empty()) {
        s << "\nProgram options:\n";
        for (const auto& o : declared()) {
            std::string left = "  " + o.name + (o.takes_value ? " " + o.value_name : "");
            if (left.size() < 22) left.resize(22, ' ');
            else left += "  ";
            s << left << o.help << "\n";
        }
    }
    return s.str();
}

}  // namespace mav

int MAV_DeclareProgramOptions(const MAV_ProgramOption* options, int count) {
    if (!options || count <= 0) return 1;
    for (int i = 0; i < count; ++i) {
        const MAV_ProgramOption& o = options[i];
        if (!o.name || o.name[0] != '-') continue;
        mav::declared().push_back({o.name, o.takes_value != 0, o.value_name ? o.value_name : "VALUE",
                                   o.help ? o.help : ""});
    }
    return 0;
}

int MAV_DeclareBatchOption(const char* name) {
    if (!name || !*name) return 1;
    mav::batch_options().push_back(name);
    return 0;
}

const char* MAV_GetProgramOption(const char* name) {
    if (!name) return nullptr;
    const mav::OptionValues& values = mav::current_values();
    // The last occurrence wins, as on most command lines.
    for (auto it = values.rbegin(); it != values.rend(); ++it)
        if (it->first == name) return it->second.c_str();
    return nullptr;
}
