#include "headless_backend.h"

#include "dialog_broker.h"

namespace plat::detail {

namespace {

class HeadlessBackend final : public Backend {
public:
    explicit HeadlessBackend(Size screen) : screen_(screen) {}
    bool headless() const override { return true; }
    Size screen_size() const override { return screen_; }
    Rect work_area() const override { return {0, 0, screen_.width, screen_.height}; }
    std::optional<ModalAnswer> modal_opened(const DialogInfo& info) override {
        return broker_modal_opened(info, false);
    }

private:
    Size screen_;
};

}  // namespace

std::unique_ptr<Backend> make_headless_backend(Size screen) {
    return std::make_unique<HeadlessBackend>(screen);
}

}  // namespace plat::detail
