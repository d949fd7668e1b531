// `lenti render`: views in, one interleaved picture out.
#pragma once

#include <string>
#include <vector>

namespace lenti {

// Runs the subcommand on the arguments after "render"; returns the exit code
// (0 done, 1 bad input or a failure, 2 bad usage), having said why on stderr.
int run_render(const std::vector<std::string>& args);

}  // namespace lenti
