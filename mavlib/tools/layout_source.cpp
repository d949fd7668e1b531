// Collecting the open windows' layout and writing it as MAV_ calls.
#include "tools/layout_source.h"

#include <cstdio>
#include <mutex>

#include "image/image_table.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"
#include "text/text_window.h"

namespace mav {

namespace {

bool sjis_lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

template <typename... Args>
void append(std::string& out, const char* format, Args... args) {
    char line[128];
    std::snprintf(line, sizeof line, format, args...);
    out += line;
}

// A call whose second argument is a string: "\tNAME(first,\"text\"rest".
void append_with_text(std::string& out, const char* name, int first, std::string_view text) {
    append(out, "\t%s(%d,\"", name, first);
    out += c_string_body(text);
    out += '"';
}

const char* creation_call(const ImageLayout& im) {
    if (im.bits == 8) return im.layout ? "MAV_CreateImage8" : "MAV_CreateImage8FL";
    return im.layout ? "MAV_CreateImage" : "MAV_CreateImageFL";
}

}  // namespace

std::string c_string_body(std::string_view sjis) {
    std::string out;
    out.reserve(sjis.size());
    for (std::size_t i = 0; i < sjis.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(sjis[i]);
        if (sjis_lead(c) && i + 1 < sjis.size()) {
            // The second byte may be a backslash (0x5C): it belongs to the character.
            out += sjis[i];
            out += sjis[++i];
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            // Three octal digits: a following digit cannot extend the escape.
            append(out, "\\%03o", unsigned(c));
        } else {
            out += char(c);
        }
    }
    return out;
}

WindowLayout collect_window_layout() {
    WindowLayout out;
    for (int i = 0; i < kImageSlots; ++i) {
        ImageRecord& r = image_record(i);
        if (!r.in_use.load()) continue;
        plat::Rect wr = plat::window_rect(r.hwnd);
        out.images.push_back({i, r.bits, r.layout, r.title, wr.left, wr.top, r.width, r.height, r.zoom});
    }
    for (int n = 0; n < kTextSlots; ++n) {
        TextWindow& tw = text_window(n);
        if (!tw.open.load()) continue;
        std::lock_guard lock(tw.m);
        plat::Rect wr = plat::window_rect(tw.window);
        out.texts.push_back({n, wr.left, wr.top, tw.width, tw.height});
    }
    out.input = input_box_layout();
    out.buttons = button_box_layout();
    return out;
}

std::string layout_source(const WindowLayout& layout) {
    std::string out = "\t// MAVLIB --- Automatic Source Generator\n";
    if (!layout.images.empty()) out += "\t// [Image Window]\n";
    for (const ImageLayout& im : layout.images) {
        append_with_text(out, creation_call(im), im.index, im.title);
        append(out, ",%d,%d,%d,%d,%d);\n", im.x, im.y, im.width, im.height, im.zoom);
    }
    out += "\t// [Text Window]\n";
    for (const TextLayout& t : layout.texts)
        append(out, "\tMAV_OpenTextWindow(%d,%d,%d,%d,%d);\n", t.no, t.x, t.y, t.width, t.height);
    if (layout.input.open) {
        const InputBoxLayout& ib = layout.input;
        out += "\t// [Input Box]\n";
        append(out, "\tMAV_OpenInputBox(%d,%d,%d);\n", ib.window.left, ib.window.top, ib.items);
        append(out, "\tMAV_ResizeInputBox(%d,%d);\n", ib.label_width, ib.field_width);
        for (std::size_t i = 0; i < ib.titles.size(); ++i) {
            append_with_text(out, "MAV_SetInputBoxTitle", int(i), ib.titles[i]);
            out += ");\n";
        }
    }
    if (layout.buttons.open) {
        const ButtonBoxLayout& bb = layout.buttons;
        out += "\t// [Button Box]\n";
        append(out, "\tMAV_OpenButtonBox(%d,%d,%d,%d);\n", bb.window.left, bb.window.top, bb.nx, bb.ny);
        append(out, "\tMAV_ResizeButtonBox(%d,%d);\n", bb.client.width, bb.client.height);
        for (std::size_t c = 0; c < bb.captions.size(); ++c) {
            append_with_text(out, "MAV_SetButtonBoxTitle", int(c), bb.captions[c]);
            out += ");\n";
        }
    }
    out += "\tMAV_SetForeground(MAVMAINWINDOW);\n";
    return out;
}

}  // namespace mav
