// The popup menus open now belong to ui, beside the driver rather than below
// it: the driver finds their items through the finder that ui's function is
// installed as (by the backend factory, which sees every layer).
#pragma once

#include <optional>
#include <string_view>

#include "plat/base/geometry.h"

namespace plat::detail {

using OpenMenuItemFinder = std::optional<Rect> (*)(std::string_view text);

void set_open_menu_item_finder(OpenMenuItemFinder finder);

}  // namespace plat::detail
