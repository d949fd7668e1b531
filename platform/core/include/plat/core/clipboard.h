// The clipboard. Formats: UTF-16 text (with multibyte Shift-JIS text derived
// from it, and back), and images as a packed DIB (40-byte header, bottom-up
// rows, a palette for 8-bit). The headless backend keeps it in the process;
// a display backend bridges it to the desktop's clipboard.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat::clipboard {

// Each setter replaces everything on the clipboard.
void set_text(std::u16string_view text);
void set_multibyte_text(std::string_view sjis);
void set_dib(std::vector<std::uint8_t> packed_dib);
void clear();

bool has_text();
bool has_dib();
std::optional<std::u16string> text();
std::optional<std::string> multibyte_text();
std::optional<std::vector<std::uint8_t>> dib();

}  // namespace plat::clipboard
