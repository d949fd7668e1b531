// Numbers as the command line spells them: whole, with nothing after them.
#pragma once

#include <string>

namespace lenti {

// `text` as a whole decimal number from low to high.
bool parse_int(const std::string& text, int low, int high, int& out);

// `text` as a finite decimal number.
bool parse_double(const std::string& text, double& out);

// "AxB" (or "AXB") with both numbers whole, from low to high.
bool parse_int_pair(const std::string& text, int low, int high, int& a, int& b);

}  // namespace lenti
