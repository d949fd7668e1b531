// The sample generators' command lines: --help prints the usage, an option
// they do not take is refused, and numbers are read whole.
#pragma once

#include <string>
#include <vector>

namespace samples {

struct Usage {
    const char* operands;     // "OUT.png [VIEW_WIDTH VIEW_HEIGHT]"
    const char* description;  // what the program writes, for --help
    std::vector<int> counts;  // the numbers of operands it takes
};

// The operands of the command line. --help (or -h) prints the usage on
// stdout and exits 0; an unknown option or a wrong number of operands is
// reported with the usage on stderr and exits 2. "--" ends the options, so
// that a file name may start with '-'; a negative number is an operand.
std::vector<std::string> parse_command_line(int argc, char** argv, const Usage& usage);

// `text` as a whole decimal number from low to high.
bool parse_int(const std::string& text, int low, int high, int& out);

}  // namespace samples
