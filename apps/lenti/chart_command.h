// `lenti chart`: the pitch chart, a stack of strips of one pair interleaved
// at pitches one step apart, each labelled with its pitch.
#pragma once

#include <string>
#include <vector>

namespace lenti {

// Runs the subcommand on the arguments after "chart"; returns the exit code.
int run_chart(const std::vector<std::string>& args);

}  // namespace lenti
