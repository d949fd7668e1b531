// The command line every program built on the library takes: the library's
// own options, then the program's declared ones.
#pragma once

#include <string>
#include <vector>

#include "plat/base/geometry.h"

namespace mav {

struct LibraryOptions {
    bool headless = false;
    bool batch = false;  // a declared batch option was given
    bool help = false;
    bool version = false;
    plat::Size screen{1920, 1080};
    bool screen_given = false;
    std::string script_text;  // --do, or the contents of --script
    std::string script_source;  // "--do" or the script file's name, for messages
    bool has_script = false;
    int virtual_cameras = -1;   // --virtual-cameras N; -1: the system's cameras
    std::string camera_source;  // --camera-source FILE (two virtual cameras unless told otherwise)
    std::vector<std::pair<std::string, std::string>> program_values;  // declared program options given
};

struct ParseResult {
    bool ok = true;
    std::string error;  // one line, for stderr
};

ParseResult parse_command_line(int argc, const char* const* argv, LibraryOptions& out);
std::string usage_text(const char* program);

// The options the program declared (see MAV_DeclareProgramOptions).
struct DeclaredOption {
    std::string name;
    bool takes_value = false;
    std::string value_name;
    std::string help;
};
const std::vector<DeclaredOption>& declared_options();

// What the command line gave for the program's options, for MAV_GetProgramOption.
void set_program_values(std::vector<std::pair<std::string, std::string>> values);

}  // namespace mav
