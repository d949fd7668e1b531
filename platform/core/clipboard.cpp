#include "plat/core/clipboard.h"

#include <mutex>

#include "backend_interface.h"
#include "plat/base/codepage.h"

namespace plat::clipboard {

namespace {

std::mutex g_mutex;
detail::ClipboardData g_data;

void replace(detail::ClipboardData data) {
    {
        std::lock_guard lock(g_mutex);
        g_data = data;
    }
    detail::backend().clipboard_changed(data);
}

detail::ClipboardData current() {
    if (auto ext = detail::backend().external_clipboard()) return *ext;
    std::lock_guard lock(g_mutex);
    return g_data;
}

}  // namespace

void set_text(std::u16string_view text) {
    detail::ClipboardData d;
    d.text = std::u16string(text);
    replace(std::move(d));
}

void set_multibyte_text(std::string_view sjis) { set_text(sjis_to_utf16(sjis)); }

void set_dib(std::vector<std::uint8_t> packed_dib) {
    detail::ClipboardData d;
    d.dib = std::move(packed_dib);
    replace(std::move(d));
}

void clear() { replace({}); }

bool has_text() { return current().text.has_value(); }
bool has_dib() { return current().dib.has_value(); }
std::optional<std::u16string> text() { return current().text; }

std::optional<std::string> multibyte_text() {
    auto t = current().text;
    if (!t) return std::nullopt;
    return utf16_to_sjis(*t);
}

std::optional<std::vector<std::uint8_t>> dib() { return current().dib; }

}  // namespace plat::clipboard
