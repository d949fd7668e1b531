// Files a person names as input (pictures, scripts, camera sources): opened
// without ever blocking, refused with a short reason unless they are regular
// files, and read whole only up to a limit.
#pragma once

#include <cstddef>
#include <string>

#include "plat/codecs/codecs.h"  // IoResult

namespace plat {

// Opens `path` for reading; on success `fd` is the open descriptor, which the
// caller closes. A directory, a FIFO, a device or a socket is refused without
// being opened. Reasons: "no such file", "a directory, not a file", "a FIFO,
// not a file", "a device, not a file", "not a regular file", or the system's
// own ("Permission denied").
IoResult open_input_file(const std::string& path, int& fd);

// Whether open_input_file would succeed; nothing is read.
IoResult check_input_file(const std::string& path);

// The whole of a regular file of at most `max_bytes` bytes; a longer one is
// refused ("larger than 16 MiB") without reading it.
IoResult read_input_file(const std::string& path, std::size_t max_bytes, std::string& out);

}  // namespace plat
