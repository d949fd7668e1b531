// TrueType text through FreeType, with faces found through fontconfig.
#include "plat/gfx/truetype.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <span>

#include "plat/gfx/gfx.h"

#if defined(__SANITIZE_ADDRESS__)
#define PLAT_LEAK_CHECKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PLAT_LEAK_CHECKS 1
#endif
#endif
#ifdef PLAT_LEAK_CHECKS
#include <sanitizer/lsan_interface.h>
#endif

namespace plat {

namespace {

// FreeType's library object and fontconfig's configuration are shared by
// every font and are not thread-safe, so one lock covers all calls into
// either. Both live as long as the process: a thread may still be drawing
// while static destructors run.
std::mutex& ft_lock() {
    static auto* m = new std::mutex;
    return *m;
}

FT_Library ft_library() {  // under ft_lock
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        return FT_Init_FreeType(&l) == 0 ? l : nullptr;
    }();
    return lib;
}

bool fc_ready() {  // under ft_lock
    static const bool ok = [] {
#ifdef PLAT_LEAK_CHECKS
        // fontconfig loses a few bytes while parsing its configuration
        // files; that is not ours to report.
        __lsan::ScopedDisabler ignore_leaks;
#endif
        return FcInit() == FcTrue;
    }();
    return ok;
}

// Installed equivalents of the Windows Japanese faces, best first.
constexpr const char* kGothic[] = {"IPAGothic", "IPAexGothic", "Noto Sans Mono CJK JP", "Noto Sans CJK JP",
                                   "TakaoGothic", "VL Gothic"};
constexpr const char* kPGothic[] = {"IPAPGothic", "IPAexGothic", "Noto Sans CJK JP", "TakaoPGothic",
                                    "VL PGothic", "IPAGothic"};
constexpr const char* kMincho[] = {"IPAMincho", "IPAexMincho", "Noto Serif CJK JP", "TakaoMincho"};
constexpr const char* kPMincho[] = {"IPAPMincho", "IPAexMincho", "Noto Serif CJK JP", "TakaoPMincho",
                                    "IPAMincho"};

struct Alias {
    const char* asked;
    std::span<const char* const> installed;
};

const Alias kAliases[] = {
    {"ＭＳ ゴシック", kGothic},   {"MS Gothic", kGothic},      {"ＭＳ Ｐゴシック", kPGothic},
    {"MS PGothic", kPGothic},     {"MS UI Gothic", kPGothic},  {"メイリオ", kPGothic},
    {"Meiryo", kPGothic},         {"ＭＳ 明朝", kMincho},      {"MS Mincho", kMincho},
    {"ＭＳ Ｐ明朝", kPMincho},    {"MS PMincho", kPMincho},
};

// Family names compare without regard to ASCII case and blanks, as
// fontconfig compares them.
bool same_family(std::string_view a, std::string_view b) {
    auto next = [](std::string_view s, std::size_t& i) -> int {
        while (i < s.size() && s[i] == ' ') ++i;
        if (i == s.size()) return -1;
        unsigned char c = static_cast<unsigned char>(s[i++]);
        return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
    };
    std::size_t i = 0, j = 0;
    for (;;) {
        int ca = next(a, i), cb = next(b, j);
        if (ca != cb) return false;
        if (ca < 0) return true;
    }
}

// fontconfig's best match for `family`. With `exact`, only a face of that
// very family counts (fontconfig otherwise answers with its default face);
// with `proportional`, only a face that is not fixed-pitch.
std::optional<ResolvedFace> fc_match(const std::string& family, bool exact,
                                     bool proportional = false) {  // under ft_lock
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return std::nullopt;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return std::nullopt;

    std::optional<ResolvedFace> found;
    FcChar8* file = nullptr;
    FcChar8* name = nullptr;
    FcBool scalable = FcFalse;
    bool family_ok = !exact;
    for (int i = 0; exact && FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i)
        if (same_family(reinterpret_cast<const char*>(name), family)) family_ok = true;
    int spacing = FC_PROPORTIONAL;
    if (proportional && FcPatternGetInteger(match, FC_SPACING, 0, &spacing) == FcResultMatch &&
        spacing != FC_PROPORTIONAL)
        family_ok = false;
    if (family_ok && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
        FcPatternGetBool(match, FC_SCALABLE, 0, &scalable) == FcResultMatch && scalable) {
        ResolvedFace face;
        face.file = reinterpret_cast<const char*>(file);
        int index = 0;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) face.index = index;
        if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch)
            face.family = reinterpret_cast<const char*>(name);
        found = std::move(face);
    }
    FcPatternDestroy(match);
    return found;
}

std::optional<ResolvedFace> resolve_locked(std::string_view family) {  // under ft_lock
    // Programs switch styles by recreating the font, so resolutions are kept.
    static auto* cache = new std::map<std::string, std::optional<ResolvedFace>, std::less<>>;
    if (auto it = cache->find(family); it != cache->end()) return it->second;

    std::optional<ResolvedFace> face;
    if (fc_ready()) {
        std::string asked(family);
        if (!asked.empty()) face = fc_match(asked, true);
        for (const Alias& alias : kAliases) {
            if (face || !same_family(alias.asked, asked)) continue;
            for (const char* installed : alias.installed)
                if ((face = fc_match(installed, true))) break;
        }
        if (!face) face = fc_match("monospace", false);
    }
    cache->emplace(std::string(family), face);
    return face;
}

int round_26_6(FT_Pos v) { return int((v + 32) >> 6); }

Color nearest_palette_index(const Surface& s, Color c) {
    int best = 0;
    long best_d = -1;
    for (int i = 0; i < 256; ++i) {
        const Color p = s.palette()[std::size_t(i)];
        const long dr = red_of(p) - red_of(c), dg = green_of(p) - green_of(c), db = blue_of(p) - blue_of(c);
        const long d = dr * dr + dg * dg + db * db;
        if (best_d < 0 || d < best_d) best = i, best_d = d;
    }
    return Color(best);
}

// Sets pixels clipped to the surface; coordinates are 64-bit so that a cursor
// near the int limits cannot overflow.
void plot(Surface& s, std::int64_t x, std::int64_t y, Color value) {
    if (x < 0 || y < 0 || x >= s.width() || y >= s.height()) return;
    if (s.format() == PixelFormat::Rgb32)
        s.row32(int(y))[x] = value;
    else
        s.row8(int(y))[x] = std::uint8_t(value);
}

}  // namespace

bool resolve_face(std::string_view family, ResolvedFace& out) {
    std::lock_guard<std::mutex> guard(ft_lock());
    std::optional<ResolvedFace> face = resolve_locked(family);
    if (!face) return false;
    out = *face;
    return true;
}

bool resolve_proportional_face(std::string_view family, bool exact, ResolvedFace& out) {
    std::lock_guard<std::mutex> guard(ft_lock());
    if (!fc_ready()) return false;
    std::optional<ResolvedFace> face = fc_match(std::string(family), exact, true);
    if (!face) return false;
    out = *face;
    return true;
}

std::vector<std::string> scalable_families() {
    std::vector<std::string> names;
    {
        std::lock_guard<std::mutex> guard(ft_lock());
        if (!fc_ready()) return names;
        FcPattern* pattern = FcPatternCreate();
        FcObjectSet* wanted = FcObjectSetBuild(FC_FAMILY, nullptr);
        if (pattern && wanted) {
            FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
            if (FcFontSet* set = FcFontList(nullptr, pattern, wanted)) {
                for (int i = 0; i < set->nfont; ++i) {
                    FcChar8* name = nullptr;
                    if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &name) == FcResultMatch && name && *name)
                        names.emplace_back(reinterpret_cast<const char*>(name));
                }
                FcFontSetDestroy(set);
            }
        }
        if (wanted) FcObjectSetDestroy(wanted);
        if (pattern) FcPatternDestroy(pattern);
    }
    auto lower = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        return s;
    };
    std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
        std::string la = lower(a), lb = lower(b);
        return la != lb ? la < lb : a < b;
    });
    names.erase(std::unique(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
                    return same_family(a, b);
                }),
                names.end());
    return names;
}

struct TrueTypeFont::Impl {
    TrueTypeDescription desc;
    ResolvedFace resolved;
    FT_Face face = nullptr;
    int ascent = 0;
    int descent = 0;
    int underline_offset = 0;  // rows below the baseline
    int underline_thickness = 1;
    int strikeout_rise = 0;  // rows above the baseline
    int strikeout_thickness = 1;

    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl() {
        if (!face) return;
        std::lock_guard<std::mutex> guard(ft_lock());
        FT_Done_Face(face);
    }

    // Loads and renders cp's glyph into face->glyph. Under ft_lock.
    bool render(char32_t cp) const {
        const FT_UInt index = FT_Get_Char_Index(face, FT_ULong(cp));
        FT_Int32 flags = FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO;
        // Embedded bitmaps cannot be slanted.
        if (desc.italic) flags |= FT_LOAD_NO_BITMAP;
        if (FT_Load_Glyph(face, index, flags) != 0) return false;
        if (desc.bold) FT_GlyphSlot_Embolden(face->glyph);
        if (face->glyph->format != FT_GLYPH_FORMAT_BITMAP &&
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) != 0)
            return false;
        return true;
    }

    GlyphWidths widths_of_rendered() const {
        const FT_GlyphSlot slot = face->glyph;
        GlyphWidths w;
        w.advance = round_26_6(slot->advance.x);
        w.a = slot->bitmap_left;
        w.b = int(slot->bitmap.width);
        w.c = w.advance - w.a - w.b;
        return w;
    }
};

TrueTypeFont::TrueTypeFont() noexcept = default;
TrueTypeFont::TrueTypeFont(std::unique_ptr<Impl> impl) noexcept : impl_(std::move(impl)) {}
TrueTypeFont::~TrueTypeFont() = default;
TrueTypeFont::TrueTypeFont(TrueTypeFont&&) noexcept = default;
TrueTypeFont& TrueTypeFont::operator=(TrueTypeFont&&) noexcept = default;

TrueTypeFont TrueTypeFont::open(const TrueTypeDescription& desc) {
    const int height = desc.height == 0 ? 16 : desc.height;
    if (std::abs(double(height)) > kMaxPixelSize || std::abs(double(desc.width)) > kMaxPixelSize) return {};

    auto impl = std::make_unique<Impl>();
    impl->desc = desc;
    std::lock_guard<std::mutex> guard(ft_lock());
    std::optional<ResolvedFace> resolved = resolve_locked(desc.family);
    FT_Library lib = ft_library();
    if (!resolved || !lib) return {};
    impl->resolved = *resolved;

    FT_Face face = nullptr;
    if (FT_New_Face(lib, resolved->file.c_str(), resolved->index, &face) != 0) return {};
    // Impl takes the face over only at the end (its destructor takes the
    // lock held here), so failures before that close it themselves.
    auto fail = [&face]() -> TrueTypeFont {
        FT_Done_Face(face);
        return {};
    };
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) return fail();

    // Windows sizes a font by its cell (the OS/2 table's Windows ascent and
    // descent) and its average character width; do the same so that the
    // programs' boxes come out as they were laid out.
    const double upem = face->units_per_EM;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const bool has_os2 = os2 && os2->version != 0xFFFF;
    double asc_units = has_os2 ? os2->usWinAscent : 0.0;
    double desc_units = has_os2 ? os2->usWinDescent : 0.0;
    if (asc_units + desc_units <= 0) {
        asc_units = face->ascender;
        desc_units = -double(face->descender);
    }
    if (asc_units + desc_units <= 0) asc_units = upem, desc_units = 0;
    const double avg_units = has_os2 && os2->xAvgCharWidth > 0 ? double(os2->xAvgCharWidth) : upem / 2;

    double em_y = height > 0 ? height * upem / (asc_units + desc_units) : -double(height);
    double em_x = desc.width != 0 ? std::abs(double(desc.width)) * upem / avg_units : em_y;
    em_y = std::clamp(em_y, 1.0, double(kMaxPixelSize));
    em_x = std::clamp(em_x, 1.0, double(kMaxPixelSize));
    if (FT_Set_Char_Size(face, FT_F26Dot6(std::lround(em_x * 64)), FT_F26Dot6(std::lround(em_y * 64)), 72, 72) != 0)
        return fail();

    const FT_Fixed y_scale = face->size->metrics.y_scale;
    impl->ascent = round_26_6(FT_MulFix(FT_Long(asc_units), y_scale));
    impl->descent = round_26_6(FT_MulFix(FT_Long(desc_units), y_scale));
    const FT_Long ul_thickness_units = face->underline_thickness > 0 ? face->underline_thickness : FT_Long(upem / 20);
    impl->underline_thickness = std::max(1, round_26_6(FT_MulFix(ul_thickness_units, y_scale)));
    const int ul_centre = round_26_6(FT_MulFix(-FT_Long(face->underline_position), y_scale));
    impl->underline_offset = std::max(0, ul_centre - impl->underline_thickness / 2);
    // The face's own strike-out line where it has one, else a quarter em up.
    const bool has_strike = has_os2 && os2->yStrikeoutSize > 0 && os2->yStrikeoutPosition > 0;
    const FT_Long so_size_units = has_strike ? os2->yStrikeoutSize : ul_thickness_units;
    const FT_Long so_pos_units = has_strike ? os2->yStrikeoutPosition : FT_Long(upem / 4);
    impl->strikeout_thickness = std::max(1, round_26_6(FT_MulFix(so_size_units, y_scale)));
    impl->strikeout_rise = std::max(1, round_26_6(FT_MulFix(so_pos_units, y_scale)));

    if (desc.italic) {
        // The slant FreeType's own oblique synthesis uses (about 12 degrees).
        FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000};
        FT_Set_Transform(face, &shear, nullptr);
    }
    impl->face = face;
    return TrueTypeFont(std::move(impl));
}

const TrueTypeDescription& TrueTypeFont::description() const {
    static const TrueTypeDescription kNone{};
    return impl_ ? impl_->desc : kNone;
}

const ResolvedFace& TrueTypeFont::face() const {
    static const ResolvedFace kNone{};
    return impl_ ? impl_->resolved : kNone;
}

int TrueTypeFont::ascent() const { return impl_ ? impl_->ascent : 0; }
int TrueTypeFont::descent() const { return impl_ ? impl_->descent : 0; }

bool TrueTypeFont::widths(char32_t cp, GlyphWidths& out) const {
    if (!impl_) return false;
    std::lock_guard<std::mutex> guard(ft_lock());
    if (!impl_->render(cp)) return false;
    out = impl_->widths_of_rendered();
    return true;
}

bool TrueTypeFont::has_glyph(char32_t cp) const {
    if (!impl_) return false;
    std::lock_guard<std::mutex> guard(ft_lock());
    return FT_Get_Char_Index(impl_->face, FT_ULong(cp)) != 0;
}

int TrueTypeFont::draw(Surface& surface, Point top_left, char32_t cp, Color color) const {
    if (!impl_) return 0;
    const Color value = surface.format() == PixelFormat::Indexed8 ? nearest_palette_index(surface, color) : color;

    std::lock_guard<std::mutex> guard(ft_lock());
    if (!impl_->render(cp)) return 0;
    const FT_GlyphSlot slot = impl_->face->glyph;
    const GlyphWidths w = impl_->widths_of_rendered();
    const std::int64_t baseline = std::int64_t(top_left.y) + impl_->ascent;
    const std::int64_t left = std::int64_t(top_left.x) + slot->bitmap_left;
    const std::int64_t top = baseline - slot->bitmap_top;

    // Mono and 8-bit grey bitmaps are read directly; anything else (colour
    // glyphs, upward rows) is converted to grey first.
    const FT_Bitmap* bm = &slot->bitmap;
    FT_Bitmap converted;
    FT_Bitmap_Init(&converted);
    const bool direct =
        (bm->pixel_mode == FT_PIXEL_MODE_MONO || bm->pixel_mode == FT_PIXEL_MODE_GRAY) && bm->pitch >= 0;
    if (!direct) {
        if (FT_Bitmap_Convert(ft_library(), bm, &converted, 1) != 0) {
            FT_Bitmap_Done(ft_library(), &converted);
            return w.advance;
        }
        bm = &converted;
    }
    const bool mono = bm->pixel_mode == FT_PIXEL_MODE_MONO;
    const int grays = std::max(1, int(bm->num_grays));
    for (unsigned r = 0; r < bm->rows; ++r) {
        const unsigned char* row = bm->buffer + std::ptrdiff_t(r) * bm->pitch;
        for (unsigned c = 0; c < bm->width; ++c) {
            const bool ink = mono ? ((row[c >> 3] >> (7 - (c & 7))) & 1) != 0 : 2 * int(row[c]) >= grays;
            if (ink) plot(surface, left + c, top + r, value);
        }
    }
    FT_Bitmap_Done(ft_library(), &converted);

    if (impl_->desc.underline) {
        for (int t = 0; t < impl_->underline_thickness; ++t)
            for (int x = 0; x < w.advance; ++x)
                plot(surface, std::int64_t(top_left.x) + x, baseline + impl_->underline_offset + t, value);
    }
    if (impl_->desc.strikeout) {
        for (int t = 0; t < impl_->strikeout_thickness; ++t)
            for (int x = 0; x < w.advance; ++x)
                plot(surface, std::int64_t(top_left.x) + x, baseline - impl_->strikeout_rise + t, value);
    }
    return w.advance;
}

}  // namespace plat
