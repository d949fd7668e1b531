// Reading a subcommand's arguments: numbers as the command line spells
// them (whole, with nothing after them), and the request for help.
#pragma once

#include <string>
#include <vector>

namespace lenti {

// `text` as a whole decimal number from low to high.
bool parse_int(const std::string& text, int low, int high, int& out);

// `text` as a finite decimal number.
bool parse_double(const std::string& text, double& out);

// "AxB" (or "AXB") with both numbers whole, from low to high.
bool parse_int_pair(const std::string& text, int low, int high, int& a, int& b);

// Whether --help (or -h) is among the arguments.
bool asks_for_help(const std::vector<std::string>& args);

}  // namespace lenti
