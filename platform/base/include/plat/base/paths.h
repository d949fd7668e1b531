// Maps the Windows-style file names the library uses to POSIX paths.
#pragma once

#include <string>
#include <string_view>

namespace plat {

// The folder that drive letters map into: $PLAT_DRIVE_ROOT if set, otherwise
// $HOME/drives (or /tmp/drives without a HOME). Drive `c:` is <root>/c.
std::string drive_root();

// "c:\dir\file" -> "<drive root>/c/dir/file"; "dir\file" -> "dir/file";
// POSIX paths pass unchanged. Names are UTF-8.
std::string to_native_path(std::string_view name);

}  // namespace plat
