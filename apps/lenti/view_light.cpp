#include "view_light.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "lenticular/worker_pool.h"

namespace lenti {

ResampledViews::ResampledViews(const std::vector<plat::Surface>& views, int W, int H)
    : views_(views), column_(std::size_t(3) * std::size_t(W)), row_(std::size_t(H)) {
    const plat::Surface& first = views.front();
    const double xs = double(first.width()) / (3.0 * W), ys = double(first.height()) / H;
    for (int s = 0; s < 3 * W; ++s)
        column_[std::size_t(s)] = std::min(first.width() - 1, int(std::trunc(s * xs)));
    for (int y = 0; y < H; ++y) row_[std::size_t(y)] = std::min(first.height() - 1, int(std::trunc(y * ys)));
}

int EyeLight::most_seen() const {
    return int(std::max_element(by_view.begin(), by_view.end()) - by_view.begin());
}

double EyeLight::crosstalk_percent() const {
    if (total <= 0.0) return 0.0;
    return 100.0 * (total - by_view[std::size_t(most_seen())]) / total;
}

EyeLight light_by_view(const plat::Surface& picture, const ResampledViews& views, const EyeWindow& window) {
    const int W = picture.width(), H = picture.height(), n = views.count();
    // One tally per row, added up in row order afterwards, so that the sums
    // do not depend on how rows were shared among threads.
    std::vector<double> tally(std::size_t(H) * std::size_t(n), 0.0);
    auto rows = [&](int first, int end) {
        std::vector<int> distance(static_cast<std::size_t>(n));
        for (int y = first; y < end; ++y) {
            double* row_tally = tally.data() + std::size_t(y) * std::size_t(n);
            const std::uint32_t* pixels = picture.row32(y);
            for (long long lens = EyeWindow::first_lens(); lens <= window.last_lens(y, 3LL * W); ++lens)
                window.for_each_seen(lens, y, 3LL * W, [&](long long s, double share) {
                    const int seen = channel(pixels[s / 3], int(s % 3));
                    for (int v = 0; v < n; ++v)
                        distance[std::size_t(v)] = std::abs(views.value(v, int(s), y) - seen);
                    const int closest = *std::min_element(distance.begin(), distance.end());
                    const int ties = int(std::count(distance.begin(), distance.end(), closest));
                    for (int v = 0; v < n; ++v)
                        if (distance[std::size_t(v)] == closest) row_tally[v] += share / ties;
                });
        }
    };
    lenticular::parallel_for(H, 8, rows);
    EyeLight light;
    light.by_view.assign(std::size_t(n), 0.0);
    for (int y = 0; y < H; ++y)
        for (int v = 0; v < n; ++v) light.by_view[std::size_t(v)] += tally[std::size_t(y) * std::size_t(n) + std::size_t(v)];
    for (double l : light.by_view) light.total += l;
    return light;
}

}  // namespace lenti
