// Small WMF and EMF files written record by record: a window (or frame) and
// one rectangle filled with a solid brush and no outline. Enough to check
// size, placement and colour through every reader of pictures.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

namespace testsupport {

using MetafileBytes = std::vector<std::uint8_t>;

struct Box {
    int left, top, right, bottom;
};

namespace metafile_detail {

inline void put16(MetafileBytes& v, int x) {
    v.push_back(std::uint8_t(x));
    v.push_back(std::uint8_t(unsigned(x) >> 8));
}
inline void put32(MetafileBytes& v, std::int64_t x) {
    put16(v, int(x & 0xFFFF));
    put16(v, int((x >> 16) & 0xFFFF));
}
// A WMF record: size in words, function, parameters (16-bit words).
inline void wmf_record(MetafileBytes& v, int function, std::initializer_list<int> words) {
    put32(v, 3 + std::int64_t(words.size()));
    put16(v, function);
    for (int w : words) put16(v, w);
}
// A COLORREF from 0x00RRGGBB: red in the low byte.
inline std::uint32_t colorref(std::uint32_t rgb) {
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

}  // namespace metafile_detail

struct WmfPicture {
    std::optional<Box> placeable_box{};  // none: a plain file
    int units_per_inch = 96;
    int origin_x = 0, origin_y = 0;
    std::optional<std::pair<int, int>> window_extent{};  // none: no SetWindowExt record
    Box rectangle{0, 0, 0, 0};                            // logical units
    std::uint32_t brush = 0xFF0000;                       // 0x00RRGGBB
};

inline MetafileBytes wmf_file(const WmfPicture& p) {
    using namespace metafile_detail;
    MetafileBytes records;
    wmf_record(records, 0x020B, {p.origin_y, p.origin_x});  // SetWindowOrg
    if (p.window_extent) wmf_record(records, 0x020C, {p.window_extent->second, p.window_extent->first});
    wmf_record(records, 0x02FA, {5, 0, 0, 0, 0});  // CreatePenIndirect: PS_NULL
    const std::uint32_t c = colorref(p.brush);
    wmf_record(records, 0x02FC, {0, int(c & 0xFFFF), int(c >> 16), 0});  // CreateBrushIndirect: solid
    wmf_record(records, 0x012D, {0});                                     // SelectObject pen
    wmf_record(records, 0x012D, {1});                                     // SelectObject brush
    const Box& r = p.rectangle;
    wmf_record(records, 0x041B, {r.bottom, r.right, r.top, r.left});  // Rectangle
    wmf_record(records, 0x0000, {});                                  // end

    MetafileBytes out;
    if (p.placeable_box) {
        const Box& b = *p.placeable_box;
        MetafileBytes head;
        put32(head, 0x9AC6CDD7);
        put16(head, 0);
        put16(head, b.left);
        put16(head, b.top);
        put16(head, b.right);
        put16(head, b.bottom);
        put16(head, p.units_per_inch);
        put32(head, 0);
        int sum = 0;
        for (std::size_t i = 0; i < head.size(); i += 2) sum ^= head[i] | (head[i + 1] << 8);
        put16(head, sum);
        out = head;
    }
    put16(out, 1);                                        // in memory
    put16(out, 9);                                        // header words
    put16(out, 0x0300);                                   // version
    put32(out, 9 + std::int64_t(records.size()) / 2);     // file size in words
    put16(out, 2);                                        // objects
    put32(out, 8);                                        // largest record in words
    put16(out, 0);
    out.insert(out.end(), records.begin(), records.end());
    return out;
}

struct EmfPicture {
    Box bounds{0, 0, 0, 0};  // device pixels, both edges inside
    Box frame{0, 0, 0, 0};   // hundredths of a millimetre
    int device_cx = 960, device_cy = 960;            // the reference device in pixels
    int millimetres_cx = 254, millimetres_cy = 254;  // ... and in millimetres (96 dpi)
    Box rectangle{0, 0, 0, 0};
    std::uint32_t brush = 0xFF0000;
};

inline MetafileBytes emf_file(const EmfPicture& p) {
    using namespace metafile_detail;
    MetafileBytes records;
    auto record = [&](std::uint32_t type, std::initializer_list<std::int64_t> values) {
        put32(records, type);
        put32(records, 8 + 4 * std::int64_t(values.size()));
        for (std::int64_t v : values) put32(records, v);
    };
    record(39, {1, 0, colorref(p.brush), 0});  // EMR_CREATEBRUSHINDIRECT: handle 1, solid
    record(37, {1});                           // EMR_SELECTOBJECT
    record(37, {0x80000008});                  // EMR_SELECTOBJECT: the stock null pen
    record(43, {p.rectangle.left, p.rectangle.top, p.rectangle.right, p.rectangle.bottom});  // EMR_RECTANGLE
    record(14, {0, 16, 20});                                                                 // EMR_EOF

    MetafileBytes out;
    put32(out, 1);   // EMR_HEADER
    put32(out, 88);  // its size
    for (int v : {p.bounds.left, p.bounds.top, p.bounds.right, p.bounds.bottom}) put32(out, v);
    for (int v : {p.frame.left, p.frame.top, p.frame.right, p.frame.bottom}) put32(out, v);
    put32(out, 0x464D4520);  // " EMF"
    put32(out, 0x10000);
    put32(out, 88 + std::int64_t(records.size()));
    put32(out, 6);  // records
    put16(out, 2);  // handles
    put16(out, 0);
    put32(out, 0);  // description
    put32(out, 0);
    put32(out, 0);  // palette entries
    put32(out, p.device_cx);
    put32(out, p.device_cy);
    put32(out, p.millimetres_cx);
    put32(out, p.millimetres_cy);
    out.insert(out.end(), records.begin(), records.end());
    return out;
}

}  // namespace testsupport
