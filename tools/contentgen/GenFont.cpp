// The "font" model: one frame (group) per Windows-1252 character code
// 0..255, its glyph from DejaVu Sans Bold in the texture atlas "font".
//
// A frame is a quad in the plane x = 0 facing the menu camera, from y = 0
// to 0.65 and z = 0 to 1, bottom-left at the origin, baseline at z = 0.23;
// DrawText puts character i at its own origin every 0.65 x size. Each glyph
// is drawn as an outlined shape (see GenShapes.h): its black outline first,
// then the white glyph, so text reads over any background. Codes without a
// printable glyph get a zero-area quad: a frame that draws nothing.
//
// The atlas holds two 16 x 16 sheets of 48 x 64 cells side by side: the
// glyphs (white, alpha = glyph and outline) and their outline masks.
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>

#include "GenFont.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace rdv::contentgen {

uint32_t Cp1252ToUnicode(int code) {
    // 0x80..0x9F; 0 where the code page leaves the code undefined.
    static const uint16_t k80[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                     0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (code <= 0x20 || code == 0x7F || code > 0xFF) return 0;
    if (code >= 0x80 && code <= 0x9F) return k80[code - 0x80];
    return static_cast<uint32_t>(code);
}

struct TrueTypeFont::Impl {
    std::vector<unsigned char> data;
    stbtt_fontinfo info{};
};

TrueTypeFont::TrueTypeFont(const std::string& path) : impl_(std::make_unique<Impl>()) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read the font " + path + " (package fonts-dejavu-core)");
    impl_->data.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    if (impl_->data.empty() ||
        !stbtt_InitFont(&impl_->info, impl_->data.data(), stbtt_GetFontOffsetForIndex(impl_->data.data(), 0)))
        throw std::runtime_error("not a TrueType font: " + path);
}

TrueTypeFont::~TrueTypeFont() = default;

bool TrueTypeFont::HasGlyph(uint32_t codePoint) const {
    return codePoint != 0 && stbtt_FindGlyphIndex(&impl_->info, static_cast<int>(codePoint)) != 0;
}

TrueTypeFont::Glyph TrueTypeFont::Render(uint32_t codePoint, float em, float xScale) const {
    Glyph g;
    const int index = stbtt_FindGlyphIndex(&impl_->info, static_cast<int>(codePoint));
    if (index == 0) return g;
    const float scale = stbtt_ScaleForMappingEmToPixels(&impl_->info, em);
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(&impl_->info, index, &advance, &bearing);
    g.advance = advance * scale * xScale;
    int x0, y0, x1, y1;
    stbtt_GetGlyphBitmapBox(&impl_->info, index, scale * xScale, scale, &x0, &y0, &x1, &y1);
    if (x1 <= x0 || y1 <= y0) return g;
    std::vector<unsigned char> bits(static_cast<size_t>(x1 - x0) * (y1 - y0));
    stbtt_MakeGlyphBitmap(&impl_->info, bits.data(), x1 - x0, y1 - y0, x1 - x0, scale * xScale, scale, index);
    g.cov = Coverage(x1 - x0, y1 - y0);
    for (size_t i = 0; i < bits.size(); ++i) g.cov.v[i] = bits[i] / 255.0f;
    g.left = x0;
    g.top = y0;
    return g;
}

Coverage TrueTypeFont::RenderLine(const std::string& text, float em, int margin, int* baseline) const {
    const float scale = stbtt_ScaleForMappingEmToPixels(&impl_->info, em);
    int ascent, descent, gap;
    stbtt_GetFontVMetrics(&impl_->info, &ascent, &descent, &gap);
    struct Placed {
        Glyph g;
        int x;
    };
    std::vector<Placed> placed;
    float pen = 0;
    int minX = 0, maxX = 0;
    int prev = 0;
    for (unsigned char c : text) {
        const uint32_t cp = c == ' ' ? 0x20 : Cp1252ToUnicode(c);
        const int index = cp ? stbtt_FindGlyphIndex(&impl_->info, static_cast<int>(cp)) : 0;
        if (prev && index) pen += stbtt_GetGlyphKernAdvance(&impl_->info, prev, index) * scale;
        Glyph g = Render(cp, em);
        int advance = 0, bearing = 0;
        stbtt_GetGlyphHMetrics(&impl_->info, index, &advance, &bearing);
        const int x = static_cast<int>(std::lround(pen));
        if (g.cov.width > 0) {
            minX = std::min(minX, x + g.left);
            maxX = std::max(maxX, x + g.left + g.cov.width);
        }
        placed.push_back({std::move(g), x});
        pen += advance * scale;
        prev = index;
    }
    const int top = static_cast<int>(std::ceil(ascent * scale));
    const int bottom = static_cast<int>(std::ceil(-descent * scale));
    Coverage out(maxX - minX + 2 * margin, top + bottom + 2 * margin);
    const int base = margin + top;
    for (const Placed& p : placed)
        for (int y = 0; y < p.g.cov.height; ++y)
            for (int x = 0; x < p.g.cov.width; ++x) {
                const int ox = p.x + p.g.left + x - minX + margin, oy = base + p.g.top + y;
                if (ox >= 0 && oy >= 0 && ox < out.width && oy < out.height)
                    out.Ref(ox, oy) = std::max(out.At(ox, oy), p.g.cov.At(x, y));
            }
    if (baseline) *baseline = base;
    return out;
}

namespace {

constexpr int kCellW = 48, kCellH = 64;              // atlas cell, pixels
constexpr float kRectW = 0.65f * kCellH;             // the quad's width in pixels
constexpr float kRectX = (kCellW - kRectW) / 2;      // where it starts in the cell
constexpr int kBaseline = 49;                        // row of the baseline: z = 15/64 ~ 0.23
constexpr float kEm = 52;                            // pixels to the em
constexpr float kWiden = 1.08f;                      // glyphs a little wider: the spacing is fixed
constexpr float kOutline = 2.5f;                     // outline width, pixels
constexpr int kSheetW = 16 * kCellW, kSheetH = 16 * kCellH;

} // namespace

void GenFont(Output& out) {
    TrueTypeFont font(kFontPath);
    Image atlas(2 * kSheetW, kSheetH, 0);
    TcmWriter w(3, "UL");
    // Ink stays this far inside the quad so that its outline is not cut.
    const float inset = kOutline + 1.5f;
    const float maxInkW = kRectW - 2 * inset;
    for (int code = 0; code < 256; ++code) {
        const int cx = (code % 16) * kCellW, cy = (code / 16) * kCellH;
        const uint32_t cp = Cp1252ToUnicode(code);
        Coverage cov(kCellW, kCellH);
        bool ink = false;
        if (font.HasGlyph(cp)) {
            float em = kEm, widen = kWiden;
            TrueTypeFont::Glyph g = font.Render(cp, em, widen);
            // Too tall for the cell (accented capitals): smaller.
            const float above = kBaseline - inset, below = kCellH - inset - kBaseline;
            const float tall = std::max(-g.top / above, (g.top + g.cov.height) / below);
            if (tall > 1) {
                em /= tall;
                g = font.Render(cp, em, widen);
            }
            // Too wide for the fixed spacing (W, m, ...): narrower.
            if (g.cov.width > maxInkW) {
                widen *= maxInkW / float(g.cov.width + 1);
                g = font.Render(cp, em, widen);
            }
            const int x0 = static_cast<int>(std::lround(kRectX + (kRectW - g.cov.width) / 2));
            const int y0 = kBaseline + g.top;
            for (int y = 0; y < g.cov.height; ++y)
                for (int x = 0; x < g.cov.width; ++x) {
                    const int px = x0 + x, py = y0 + y;
                    if (px < kRectX + inset || px >= kRectX + kRectW - inset || py < inset || py >= kCellH - inset)
                        continue;
                    const float c = g.cov.At(x, y);
                    cov.Ref(px, py) = c;
                    ink = ink || c > 0;
                }
        }
        const std::string kind = "TA";
        if (!ink) {
            // Nothing to see: a quad of zero area keeps the frame numbered.
            const uint32_t white = 0xFFFFFF;
            const TcmWriter::Vertex o{0, 0, 0, white, 0, 0};
            w.Quad(o, o, o, o, kind, "font", code);
            continue;
        }
        const Coverage silhouette = Dilate(cov, kOutline);
        Paste(atlas, ColourImage(cov, silhouette, [](int, int) { return Rgbf{1, 1, 1}; }), cx, cy);
        Paste(atlas, MaskImage(silhouette), kSheetW + cx, cy);
        const UvRect glyph{(cx + kRectX) / atlas.width, float(cy) / atlas.height, (cx + kRectX + kRectW) / atlas.width,
                           float(cy + kCellH) / atlas.height};
        const UvRect mask{glyph.u0 + 0.5f, glyph.v0, glyph.u1 + 0.5f, glyph.v1};
        PlaneQuad(w, 0, 0, 0.65f, 1, mask, "TAR", "font", code);
        PlaneQuad(w, 0, 0, 0.65f, 1, glyph, kind, "font", code);
    }
    out.WritePng("textures", "font.png", atlas);
    out.WriteText("models", "font.tcm", w.Text());
}

} // namespace rdv::contentgen
