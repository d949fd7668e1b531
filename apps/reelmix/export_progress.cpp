#include "export_progress.h"

namespace reelmix {

ExportProgress::ExportProgress(std::FILE* out, int total, bool in_place)
    : out_(out), total_(total), in_place_(in_place) {}

double ExportProgress::seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

std::string ExportProgress::line(int done) const {
    char text[128];
    const double s = seconds();
    const double fps = s > 0 ? done / s : 0.0;
    if (total_ > 0)
        std::snprintf(text, sizeof text, "reelmix: frame %d of %d, %.1f fps", done, total_, fps);
    else
        std::snprintf(text, sizeof text, "reelmix: frame %d, %.1f fps", done, fps);
    return text;
}

void ExportProgress::update(int done) {
    const auto now = Clock::now();
    const auto every = in_place_ ? std::chrono::milliseconds(200) : std::chrono::milliseconds(1000);
    if (last_shown_ != Clock::time_point{} && now - last_shown_ < every) return;
    last_shown_ = now;
    if (in_place_) {
        std::fprintf(out_, "\r%s\033[K", line(done).c_str());
        line_open_ = true;
    } else {
        std::fprintf(out_, "%s\n", line(done).c_str());
    }
    std::fflush(out_);
}

void ExportProgress::interrupt() {
    if (line_open_) std::fputc('\n', out_);
    line_open_ = false;
}

void ExportProgress::finish(int done, const std::string& where) {
    if (in_place_) std::fprintf(out_, "\r%s\033[K\n", line(done).c_str());
    else std::fprintf(out_, "%s\n", line(done).c_str());
    line_open_ = false;
    std::fprintf(out_, "reelmix: %d frames written to %s in %.1f s\n", done, where.c_str(), seconds());
    std::fflush(out_);
}

}  // namespace reelmix
