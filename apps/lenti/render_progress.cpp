#include "render_progress.h"

namespace lenti {

RenderProgress::RenderProgress(std::FILE* out, int total, bool in_place)
    : out_(out), total_(total), in_place_(in_place) {}

double RenderProgress::seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

void RenderProgress::update(int frame) {
    const auto now = Clock::now();
    const auto every = in_place_ ? std::chrono::milliseconds(200) : std::chrono::seconds(5);
    if (now - last_shown_ < every) return;
    last_shown_ = now;
    const double s = seconds();
    char text[96];
    if (total_ > 0) std::snprintf(text, sizeof text, "lenti render: frame %d of %d, %.1f fps", frame, total_, frame / s);
    else std::snprintf(text, sizeof text, "lenti render: frame %d, %.1f fps", frame, frame / s);
    if (in_place_) {
        std::fprintf(out_, "\r%s\033[K", text);
        line_open_ = true;
    } else {
        std::fprintf(out_, "%s\n", text);
    }
    std::fflush(out_);
}

void RenderProgress::close_line() {
    if (line_open_) std::fputc('\n', out_);
    line_open_ = false;
}

}  // namespace lenti
