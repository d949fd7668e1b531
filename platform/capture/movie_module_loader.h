// The movie module (capture/opencv/), loaded once, when a movie is first
// opened for reading or writing.
#pragma once

#include <string>

#include "movie_module.h"

namespace plat {

struct MovieModule {
    const PlatMovieApi* reader = nullptr;
    const PlatMovieWriterApi* writer = nullptr;
    std::string error;  // why it could not be loaded
};

const MovieModule& movie_module();

}  // namespace plat
