#pragma once
// Glyphs from a TrueType font (stb_truetype) for the "font" model and for
// texts painted into textures (the loading screen's title, icons).
#include <cstdint>
#include <memory>
#include <string>

#include "GenShapes.h"

namespace rdv::contentgen {

// The font the game's texts are drawn with.
inline constexpr const char* kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// The Unicode code point of a Windows-1252 character code, or 0 for the
// codes that have no printable character (controls 0-31 and 127, the
// undefined 0x81, 0x8D, 0x8F, 0x90 and 0x9D, and the blank 0x20).
uint32_t Cp1252ToUnicode(int code);

class TrueTypeFont {
public:
    // Throws std::runtime_error when the file is missing or not a font.
    explicit TrueTypeFont(const std::string& path);
    ~TrueTypeFont();
    TrueTypeFont(const TrueTypeFont&) = delete;
    TrueTypeFont& operator=(const TrueTypeFont&) = delete;

    bool HasGlyph(uint32_t codePoint) const;

    // One glyph's coverage, `em` pixels to the em, its width scaled by
    // xScale. left/top: where the bitmap's top-left corner lies relative to
    // the pen on the baseline (top is negative above the baseline).
    struct Glyph {
        Coverage cov;
        int left = 0, top = 0;
        float advance = 0;   // pixels
    };
    Glyph Render(uint32_t codePoint, float em, float xScale = 1.0f) const;

    // A line of text (Windows-1252 codes) laid out with the font's advances
    // and kerning, `em` pixels to the em, with `margin` free pixels on every
    // side. baseline: the row of the baseline in the result.
    Coverage RenderLine(const std::string& text, float em, int margin, int* baseline = nullptr) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace rdv::contentgen
