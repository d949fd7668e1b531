#include "backend_interface.h"

#include <mutex>
#include <vector>

namespace plat::detail {

namespace {

std::mutex g_backend_mutex;
Backend* g_backend = nullptr;  // never freed: threads may still ask for it at exit

}  // namespace

Backend& backend() {
    std::lock_guard lock(g_backend_mutex);
    if (!g_backend) g_backend = make_default_backend().release();
    return *g_backend;
}

void install_backend(std::unique_ptr<Backend> b) {
    std::lock_guard lock(g_backend_mutex);
    // The old backend is kept alive on purpose: another thread may be inside it.
    // Kept reachable too, so that leak checkers do not report it.
    static auto* retired = new std::vector<Backend*>;
    if (g_backend) retired->push_back(g_backend);
    g_backend = b.release();
}

}  // namespace plat::detail
