// The movie reelmix plays: the platform's movie reader.
#pragma once

#include "plat/capture/movie.h"

namespace reelmix {

using BgrFrame = plat::BgrFrame;
using MovieSource = plat::MovieReader;

}  // namespace reelmix
