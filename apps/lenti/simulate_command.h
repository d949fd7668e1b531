// `lenti simulate`: what each eye position sees through an ideal lens sheet
// laid on an interleaved picture, and which view its light comes from.
#pragma once

#include <string>
#include <vector>

namespace lenti {

// Runs the subcommand on the arguments after "simulate"; gives the exit code.
int run_simulate(const std::vector<std::string>& args);

}  // namespace lenti
