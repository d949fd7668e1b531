// What a file dialog lists: the entries of a folder, sorted and filtered by
// the patterns of the filter chosen (match_file_patterns and list_folder in
// plat/dialogs.h), and the path pieces the dialog shares with the listing.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace plat::ui {

// An absolute, lexically normal folder path without a trailing separator
// (but "/" for the root).
std::string normal_folder(const std::filesystem::path& p);

// `s` without the blanks and tabs at either end.
std::string trimmed(std::string_view s);

// True when `s` holds '*' or '?': a pattern rather than a name.
bool has_wildcard(std::string_view s);

}  // namespace plat::ui
