// The one place that knows the backends: init_platform picks one, and a
// process that never calls it gets the headless backend. As the top of the
// platform it also installs the hooks through which the core and the driver
// reach ui's popup menus, which are not below them.
#include "plat/platform.h"

#include <atomic>

#include "backend_interface.h"
#include "headless/headless_backend.h"
#include "menu_tracking.h"
#include "open_menus.h"
#include "plat/ui/popup_menu.h"
#include "x11/x11_backend.h"

namespace plat {

namespace {
std::atomic<bool> g_ready{false};
constexpr Size kDefaultScreen{1920, 1080};

void install_layer_hooks() {
    detail::set_popup_menu_tracker(&track_popup_menu);
    detail::set_open_menu_item_finder(&find_open_menu_item);
}
}  // namespace

namespace detail {

std::unique_ptr<Backend> make_default_backend() {
    install_layer_hooks();
    return make_headless_backend(kDefaultScreen);
}

}  // namespace detail

bool init_platform(const PlatformOptions& options, std::string& error) {
    if (options.screen.width < 320 || options.screen.height < 200 || options.screen.width > 16384 ||
        options.screen.height > 16384) {
        error = "screen size must be between 320x200 and 16384x16384";
        return false;
    }
    install_layer_hooks();
    if (!options.headless) {
        auto x11 = detail::make_x11_backend(error);
        if (!x11) return false;
        detail::install_backend(std::move(x11));
        g_ready = true;
        return true;
    }
    detail::install_backend(detail::make_headless_backend(options.screen));
    g_ready = true;
    return true;
}

void shutdown_platform() {
    if (!g_ready.exchange(false)) return;
    detail::backend().shutdown();
}

bool platform_ready() { return g_ready; }

bool is_headless() { return detail::backend().headless(); }

}  // namespace plat
