// The image window's own commands run as a person runs them: commands reach
// the window as menu choices, positions arrive as clicks through the driver.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "image/image_commands.h"
#include "image/image_table.h"
#include "image/point_pick.h"
#include "mavlib.h"
#include "plat/codecs/codecs.h"
#include "plat/base/codepage.h"
#include "plat/ui/dialogs.h"
#include "plat/driver/driver.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"
#include "support/library_classes.h"
#include "support/temp_folder.h"
#include "support/ui_helpers.h"
#include "support/ui_thread.h"

using namespace mav;
using testsupport::wait_until;

namespace {

// Every pixel of an image with its palette, to compare whole pictures.
struct Picture {
    int width = 0, height = 0, bits = 0;
    std::vector<std::uint32_t> pixels;  // 8-bit: the index
    std::array<plat::Color, 256> palette{};  // 8-bit only
    bool operator==(const Picture&) const = default;
    std::uint32_t at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

class ImageCommands : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::register_library_window_classes();
        frame().quit_state = kQuitRunning;
        frame().running = 0;
        frame().stop_flag = 0;
        status_ = ui_.run([] {
            plat::CreateParams p;
            p.class_name = "test_ui_runner";
            p.rect = {0, 0, 1, 1};
            return plat::create_window(p);
        });
        frame().status_label = status_.id;
    }
    void TearDown() override {
        frame().status_label = 0;
        ui_.run([this] {
            for (int i = 0; i < kImageSlots; ++i) MAV_DestroyImage(i);
            plat::destroy_window(status_);
        });
    }

    // A picture whose pixels all differ (8-bit: indices that vary along both axes).
    int create(int index, int w, int h, int bits, int x = 0, int y = 0) {
        return ui_.run([=] {
            int r = bits == 8 ? MAV_CreateImage8(index, "c", x, y, w, h, 100) : MAV_CreateImage(index, "c", x, y, w, h, 100);
            if (r != 0) return r;
            ImageRecord& rec = image_record(index);
            for (int yy = 0; yy < h; ++yy)
                for (int xx = 0; xx < w; ++xx)
                    rec.buffer.set_pixel(xx, yy, bits == 8 ? plat::Color((xx * 7 + yy * 3) & 255)
                                                           : plat::rgb(xx & 255, yy & 255, (xx >> 8) * 16 + (yy >> 8) + 1));
            for (int i = 0; i < 256; ++i) rec.buffer.palette()[std::size_t(i)] = plat::rgb(i, 255 - i, i / 2);
            plat::update_window(rec.hwnd);
            return 0;
        });
    }
    Picture picture(int index) {
        return ui_.run([index] {
            Picture p;
            ImageRecord& r = image_record(index);
            if (!r.in_use.load()) return p;
            p.width = r.width;
            p.height = r.height;
            p.bits = r.bits;
            if (r.bits == 8) p.palette = r.buffer.palette();
            for (int y = 0; y < r.height; ++y)
                for (int x = 0; x < r.width; ++x)
                    p.pixels.push_back(r.bits == 8 ? r.buffer.row8(y)[x] : r.buffer.row32(y)[x]);
            return p;
        });
    }
    // A menu choice on image `index`, as the popup menu posts it; waits until
    // it has run unless it is a picking command still waiting for clicks.
    void choose(int index, int command) {
        plat::Message m;
        m.window = image_record(index).hwnd;
        m.kind = plat::MsgKind::Command;
        m.command_id = command;
        plat::post_message(m);
        ASSERT_TRUE(plat::driver::wait_idle());
    }
    void run(int index, int command) {
        choose(index, command);
        ASSERT_TRUE(wait_until([] { return !frame().pick_active.load(); }));
    }
    std::string status() {
        return ui_.run([this] { return plat::window_text(status_); });
    }
    // The screen point over image pixel (x, y) at the window's zoom.
    static plat::Point at(int index, int x, int y) {
        const int zoom = image_record(index).zoom;
        return plat::client_origin(image_record(index).hwnd).translated((x * zoom + 99) / 100, (y * zoom + 99) / 100);
    }
    void click(int index, int x, int y, plat::MouseButton b = plat::MouseButton::Left) {
        plat::driver::click(at(index, x, y), b);
        ASSERT_TRUE(plat::driver::wait_idle());
    }

    testsupport::UiThread ui_;
    plat::Hwnd status_;
};

// Rotations, flips, inversion and rescaling checked against each other and
// against the corner moves a person sees, on both depths.
TEST_F(ImageCommands, ProcessingCommandsAgreeWithEachOther) {
    for (int bits : {32, 8}) {
        SCOPED_TRACE(bits);
        ASSERT_EQ(create(0, 640, 480, bits), 0);
        const Picture original = picture(0);
        MAV_SelectImage(-1);

        run(0, cmd::kRotateRight);
        Picture right = picture(0);
        ASSERT_EQ(right.width, 480);
        ASSERT_EQ(right.height, 640);
        EXPECT_EQ(right.at(479, 0), original.at(0, 0));  // top-left to top-right
        EXPECT_EQ(right.at(0, 0), original.at(0, 479));
        EXPECT_EQ(right.palette, original.palette);
        EXPECT_EQ(MAV_GetCurrentImage(), 0);  // rotating selects the image

        run(0, cmd::kRotateRight);
        Picture twice = picture(0);
        run(0, cmd::kRotateLeft);
        run(0, cmd::kRotateLeft);
        EXPECT_EQ(picture(0), original);

        run(0, cmd::kRotateLeft);
        Picture left = picture(0);
        EXPECT_EQ(left.at(0, 639), original.at(0, 0));  // top-left to bottom-left
        run(0, cmd::kRotateRight);
        EXPECT_EQ(picture(0), original);

        // A half turn is both flips.
        run(0, cmd::kFlipHorizontal);
        Picture mirrored = picture(0);
        EXPECT_EQ(mirrored.at(639, 0), original.at(0, 0));
        run(0, cmd::kFlipVertical);
        EXPECT_EQ(picture(0), twice);
        run(0, cmd::kFlipVertical);
        run(0, cmd::kFlipHorizontal);
        EXPECT_EQ(picture(0), original);

        run(0, cmd::kInvert);
        Picture inverted = picture(0);
        EXPECT_EQ(inverted.at(5, 7), ~original.at(5, 7) & (bits == 8 ? 0xFFu : 0xFFFFFFu));
        run(0, cmd::kInvert);
        EXPECT_EQ(picture(0), original);
        ui_.run([] { MAV_DestroyImage(0); });
    }

    ASSERT_EQ(create(1, 641, 481, 32), 0);
    run(1, cmd::kSize70);
    Picture smaller = picture(1);
    EXPECT_EQ(smaller.width, 453);
    EXPECT_EQ(smaller.height, 340);
    // Doubling in plain mode repeats every pixel twice.
    ASSERT_EQ(create(2, 30, 20, 32, 700, 0), 0);
    const Picture small = picture(2);
    run(2, cmd::kSize200);
    Picture doubled = picture(2);
    ASSERT_EQ(doubled.width, 60);
    ASSERT_EQ(doubled.height, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) ASSERT_EQ(doubled.at(x, y), small.at(x / 2, y / 2)) << x << "," << y;
}

TEST_F(ImageCommands, ZoomMenuChecksTheZoomAndRefitsWhatTheScreenCannotShow) {
    ASSERT_EQ(create(0, 200, 100, 32), 0);
    auto checked = [](int index) {
        std::vector<int> ids;
        plat::MenuPtr menu = image_main_menu(image_record(index));
        for (const plat::MenuItem& item : menu->items)
            if (item.checked) ids.push_back(item.command);
        return ids;
    };
    EXPECT_EQ(checked(0), std::vector<int>{cmd::kZoom100});
    run(0, cmd::kZoom200);
    EXPECT_EQ(image_record(0).zoom, 200);
    EXPECT_EQ(checked(0), std::vector<int>{cmd::kZoom200});

    ASSERT_EQ(create(1, 4000, 100, 32), 0);
    run(1, cmd::kZoom200);
    EXPECT_LT(image_record(1).zoom, 100);
    EXPECT_TRUE(checked(1).empty());

    // The second menu offers the information items of the image's depth.
    ASSERT_EQ(create(2, 50, 50, 8, 0, 300), 0);
    auto info_items = [](int index) {
        std::vector<std::string> texts;
        plat::MenuPtr menu = image_second_menu(image_record(index));
        for (const plat::MenuItem& item : menu->items)
            if (item.submenu && item.text == "Information...")
                for (const plat::MenuItem& sub : item.submenu->items) texts.push_back(sub.text);
        return texts;
    };
    EXPECT_EQ(info_items(2), (std::vector<std::string>{"Pixel", "Line(Lumi)"}));
    EXPECT_EQ(info_items(0).size(), 7u);
}

// A two-point pick: the right button after the first point goes back to
// it, a second right button cancels; the feedback leaves no trace.
TEST_F(ImageCommands, RightButtonStepsBackThenCancelsAndTheFeedbackLeavesNoTrace) {
    ASSERT_EQ(create(0, 200, 150, 32, 50, 50), 0);
    const Picture original = picture(0);
    choose(0, cmd::kBoxFill);
    ASSERT_TRUE(frame().pick_active.load());
    EXPECT_NE(status().find("Click the first point"), std::string::npos);

    click(0, 20, 30);
    EXPECT_NE(status().find("Click the second point"), std::string::npos);
    plat::driver::move_mouse(at(0, 120, 90));
    ASSERT_TRUE(plat::driver::wait_idle());
    Picture feedback = picture(0);
    EXPECT_NE(feedback, original);
    EXPECT_EQ(feedback.at(120, 90), ~original.at(120, 90) & 0xFFFFFFu);  // a corner of the box
    EXPECT_EQ(feedback.at(70, 60), original.at(70, 60));                   // inside stays

    click(0, 120, 90, plat::MouseButton::Right);
    EXPECT_TRUE(frame().pick_active.load());
    EXPECT_NE(status().find("Click the first point"), std::string::npos);
    EXPECT_EQ(picture(0), original);

    click(0, 60, 60, plat::MouseButton::Right);
    ASSERT_TRUE(wait_until([] { return !frame().pick_active.load(); }));
    EXPECT_EQ(picture(0), original);
    EXPECT_EQ(status().find("Click"), std::string::npos);

    // The same pick carried through fills the box in the draw colour.
    choose(0, cmd::kBoxFill);
    click(0, 120, 90);
    click(0, 20, 30);
    ASSERT_TRUE(wait_until([] { return !frame().pick_active.load(); }));
    Picture filled = picture(0);
    const std::uint32_t colour = std::uint32_t(MAV_GetDrawColor()) & 0xFFFFFFu;
    EXPECT_EQ(filled.at(20, 30), colour);
    EXPECT_EQ(filled.at(120, 90), colour);
    EXPECT_EQ(filled.at(19, 30), original.at(19, 30));
    EXPECT_EQ(filled.at(121, 90), original.at(121, 90));
}

TEST_F(ImageCommands, ClippingOnOnePixelMakesAOneByOneImageInTheFirstFreeSlot) {
    for (int bits : {32, 8}) {
        SCOPED_TRACE(bits);
        ASSERT_EQ(create(0, 40, 30, bits), 0);
        ASSERT_EQ(create(1, 40, 30, bits, 300, 0), 0);
        const Picture source = picture(1);
        choose(1, cmd::kClipping);
        click(1, 13, 17);
        click(1, 13, 17);
        ASSERT_TRUE(wait_until([] { return !frame().pick_active.load(); }));
        Picture clip = picture(2);
        ASSERT_EQ(clip.width, 1);
        ASSERT_EQ(clip.height, 1);
        EXPECT_EQ(clip.bits, bits);
        EXPECT_EQ(clip.at(0, 0), source.at(13, 17));
        if (bits == 8) {
            EXPECT_EQ(clip.palette, source.palette);
        }
        EXPECT_EQ(image_record(2).title, "(13,17)-(13,17)");
        EXPECT_EQ(MAV_GetCurrentImage(), 2);

        // A box picked from bottom-right to top-left is the same box.
        choose(1, cmd::kClipping);
        click(1, 30, 20);
        click(1, 10, 5);
        ASSERT_TRUE(wait_until([] { return !frame().pick_active.load(); }));
        Picture box = picture(3);
        ASSERT_EQ(box.width, 21);
        ASSERT_EQ(box.height, 16);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 21; ++x) ASSERT_EQ(box.at(x, y), source.at(10 + x, 5 + y));
        EXPECT_EQ(image_record(3).title, "(10,5)-(30,20)");
        ui_.run([] {
            for (int i = 0; i < 4; ++i) MAV_DestroyImage(i);
        });
    }
}

// "Save as" takes the format from the filter chosen in the dialog and adds
// its extension; "Load image file" loads into the clicked window at (0, 0).
TEST_F(ImageCommands, SaveAsUsesTheChosenFilterAndLoadFillsTheClickedWindow) {
    testsupport::TempFolder dir;
    ASSERT_EQ(create(0, 64, 48, 32), 0);
    ASSERT_EQ(create(1, 64, 48, 32, 400, 0), 0);
    const Picture original = picture(0);
    plat::driver::set_dialog_mode(plat::driver::DialogMode::WaitForInput);
    struct Mode {
        ~Mode() { plat::driver::set_dialog_mode(plat::driver::DialogMode::AutoAnswer); }
    } restore;

    auto dialog = [] {
        plat::Hwnd d;
        EXPECT_TRUE(wait_until([&] { return bool(d = plat::find_window("plat_filedlg")); }));
        EXPECT_TRUE(plat::driver::wait_idle());
        return d;
    };
    auto centre = [](plat::Hwnd h) {
        plat::Rect r = plat::window_rect(h);
        return plat::Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    };
    auto type_name = [&](plat::Hwnd d, const std::string& name) {
        plat::Hwnd field = plat::child_by_id(d, plat::filedlg::kName);
        plat::driver::click(centre(field));
        ASSERT_TRUE(wait_until([&] { return plat::focus_window() == field; }));
        plat::driver::press_key(plat::key::Home);
        plat::driver::press_key(plat::key::End, false, true);
        plat::driver::type_text(name);
        plat::driver::press_key(plat::key::Enter);
        ASSERT_TRUE(plat::driver::wait_idle());
    };

    choose(0, cmd::kSaveAs);
    plat::Hwnd save = dialog();
    ASSERT_TRUE(save);
    plat::driver::click(centre(plat::child_by_id(save, plat::filedlg::kFilter)));
    ASSERT_TRUE(plat::driver::wait_idle());
    auto png = plat::driver::open_menu_item("PNG (*.PNG)");
    ASSERT_TRUE(png.has_value());
    plat::driver::click({(png->left + png->right) / 2, (png->top + png->bottom) / 2});
    ASSERT_TRUE(plat::driver::wait_idle());
    type_name(save, dir.file("shot"));
    ASSERT_TRUE(wait_until([] { return !plat::find_window("plat_filedlg"); }));
    ASSERT_TRUE(plat::driver::wait_idle());
    plat::Surface saved;
    ASSERT_TRUE(plat::load_image(dir.file("shot.png"), saved));
    ASSERT_EQ(saved.width(), 64);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) ASSERT_EQ(saved.pixel(x, y) & 0xFFFFFFu, original.at(x, y));

    MAV_SelectImage(0);
    choose(1, cmd::kLoad);
    plat::Hwnd load = dialog();
    ASSERT_TRUE(load);
    EXPECT_EQ(plat::window_text(load), "Load image file");
    type_name(load, dir.file("shot.png"));
    ASSERT_TRUE(wait_until([] { return !plat::find_window("plat_filedlg"); }));
    ASSERT_TRUE(plat::driver::wait_idle());
    EXPECT_EQ(picture(1), original);
    EXPECT_EQ(MAV_GetCurrentImage(), 1);
}

// "&Zoom..." and "&Resize..." ask in text window 0 and take what is typed.
TEST_F(ImageCommands, TypedZoomAndSizeComeFromTextWindowZero) {
    ASSERT_EQ(create(0, 300, 200, 32), 0);
    auto answer = [](const char* line) {
        ASSERT_TRUE(wait_until([] { return frame().input_pending.load() != 0; }));
        ASSERT_TRUE(plat::driver::wait_idle());
        plat::driver::type_text(line);
        plat::driver::press_key(plat::key::Enter);
        // The line is taken; the command has gone on to its next question or ended.
        ASSERT_TRUE(plat::driver::wait_idle());
    };
    choose(0, cmd::kZoomTyped);
    answer("150");
    EXPECT_EQ(image_record(0).zoom, 150);
    choose(0, cmd::kResizeTyped);
    answer("64");
    answer("48");
    EXPECT_EQ(image_record(0).width, 64);
    EXPECT_EQ(image_record(0).height, 48);
    EXPECT_EQ(frame().input_pending.load(), 0);
    ui_.run([] { MAV_CloseTextWindow(0); });
}

// Row feedback starts at the mouse, follows it and leaves nothing behind;
// Stop ends a pick at once with what was picked so far.
TEST_F(ImageCommands, RowFeedbackFollowsTheMouseAndStopEndsAPickAtOnce) {
    ASSERT_EQ(create(0, 200, 150, 32, 50, 50), 0);
    const Picture original = picture(0);
    auto row_inverted = [&](const Picture& p, int y) {
        for (int x = 0; x < 200; ++x)
            if (p.at(x, y) != (~original.at(x, y) & 0xFFFFFFu)) return false;
        return true;
    };
    plat::driver::move_mouse(at(0, 30, 40));
    ASSERT_TRUE(plat::driver::wait_idle());
    choose(0, cmd::kLineHorizontal);
    EXPECT_TRUE(row_inverted(picture(0), 40));
    plat::driver::move_mouse(at(0, 90, 70));
    ASSERT_TRUE(plat::driver::wait_idle());
    Picture moved = picture(0);
    EXPECT_TRUE(row_inverted(moved, 70));
    for (int x = 0; x < 200; ++x) ASSERT_EQ(moved.at(x, 40), original.at(x, 40));
    click(0, 90, 70);
    ASSERT_TRUE(wait_until([] { return !frame().pick_active.load(); }));
    Picture drawn = picture(0);
    const std::uint32_t colour = std::uint32_t(MAV_GetDrawColor()) & 0xFFFFFFu;
    for (int x = 0; x < 200; ++x) ASSERT_EQ(drawn.at(x, 70), colour);
    for (int x = 0; x < 200; ++x) ASSERT_EQ(drawn.at(x, 69), original.at(x, 69));

    std::atomic<int> result{-1};
    PickResult picked;
    ui_.post([&] { result = pick_points(PickForm::Circle, 0, picked); });
    ASSERT_TRUE(wait_until([] { return frame().pick_active.load() != 0; }));
    click(0, 60, 50);
    plat::driver::move_mouse(at(0, 80, 50));
    ASSERT_TRUE(plat::driver::wait_idle());
    EXPECT_NE(picture(0), drawn);  // the circle follows the mouse
    frame().stop_flag = 1;
    ASSERT_TRUE(wait_until([&] { return result.load() != -1; }));
    EXPECT_EQ(result.load(), kPicked);
    EXPECT_EQ(picked.v[0], 60);
    EXPECT_EQ(picked.v[1], 50);
    EXPECT_EQ(picked.v[2], 0);
    EXPECT_EQ(picture(0), drawn);
    EXPECT_FALSE(frame().pick_active.load());
}

}  // namespace
