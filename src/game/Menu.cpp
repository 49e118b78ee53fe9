// The 3-D menu's widgets: immediate-mode, drawn every frame on a plane in
// front of the menu camera, each reporting whether it was clicked.
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/Engine.h"
#include "game/Game.h"
#include "game/MenuDraw.h"
#include "graphics/Core.h"
#include "graphics/Model.h"

namespace rdv {

namespace menu {

void DrawModel(Engine& engine, int32_t model, int32_t frame, float x, float y, float width, float height,
               float turn) {
    gfxModel* m = engine.gfx ? engine.gfx->Model(model) : nullptr;
    if (!m) return;
    const float sy = width / kMenuUnit, sz = height / kMenuUnit;
    m->DisplayMesh(engine, frame, 0, kPlaneDistance, x / kMenuUnit, y / kMenuUnit, 0, turn, 0, std::min(sy, sz), sy,
                   sz);
}

std::string Text(const Engine& engine, int index) {
    return index >= 0 && index < int(engine.languageStrings.size()) ? engine.languageStrings[size_t(index)]
                                                                     : std::string();
}

bool Inside(const MenuInput& in, float x, float y, float halfWidth, float halfHeight) {
    const float cx = x / kMenuUnit, cy = y / kMenuUnit;
    return std::fabs(in.cursorX - cx) <= halfWidth && std::fabs(in.cursorY - cy) <= halfHeight;
}

void OfferHelp(Engine& engine, bool hovered, const std::string& help) {
    engGame& game = Game(engine);
    if (hovered && game.in.right && !help.empty()) game.pendingHelp = help;
}

bool Clicked(engGame& game, bool hovered) {
    if (!hovered || !game.in.left || game.clickConsumed) return false;
    game.clickConsumed = true;
    return true;
}

} // namespace menu

using namespace menu;

void DrawText(Engine& engine, float x, float y, const std::string& text, float size, int align) {
    const int32_t font = Game(engine).fontModel;
    const float spacing = 0.65f * size;
    const float length = float(text.size());
    float start = x;
    if (align == 0) start = x - (length + 0.65f) * spacing / 2.0f;
    else if (align == 2) start = x - (length + 0.65f) * spacing;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ') continue;
        // Glyphs have their bottom-left corner at the model's origin.
        gfxModel* m = engine.gfx ? engine.gfx->Model(font) : nullptr;
        if (!m) return;
        const float s = size / kMenuUnit;
        m->DisplayMesh(engine, static_cast<unsigned char>(text[i]), 0, kPlaneDistance,
                       (start + float(i) * spacing) / kMenuUnit, (y - size / 2.0f) / kMenuUnit, 0, 0, 0, s, s, s);
    }
}

bool MenuButton(Engine& engine, float x, float y, const std::string& caption, const std::string& help) {
    engGame& game = Game(engine);
    const bool hovered = Inside(game.in, x, y, 0.5f, 0.125f);
    DrawModel(engine, game.menuModel, hovered ? 0 : 1, x, y, 1.0f);
    DrawText(engine, x, y, caption, 0.5f, 0);
    OfferHelp(engine, hovered, help);
    return Clicked(game, hovered);
}

bool SmallButton(Engine& engine, float x, float y, bool on, const std::string& help) {
    engGame& game = Game(engine);
    const bool hovered = Inside(game.in, x, y, kSmallHalf, kSmallHalf);
    DrawModel(engine, game.menuModel, on ? 4 : 3, x, y, kSmallSize);
    OfferHelp(engine, hovered, help);
    return Clicked(game, hovered);
}

bool SmallButton(Engine& engine, float x, float y, const std::string& label, const std::string& help) {
    const bool clicked = SmallButton(engine, x, y, false, help);
    DrawText(engine, x + 0.8f * kSmallSize, y, label, 0.35f, 1);
    return clicked;
}

bool ArrowButton(Engine& engine, float x, float y, int direction, const std::string& help) {
    engGame& game = Game(engine);
    const bool hovered = Inside(game.in, x, y, kSmallHalf, kSmallHalf);
    DrawModel(engine, game.arrowModel, hovered ? 1 : 0, x, y, kSmallSize, kSmallSize, direction < 0 ? 3.14159f : 0.0f);
    OfferHelp(engine, hovered, help);
    return Clicked(game, hovered);
}

void InfoLabel(Engine& engine, float x, float y, const std::string& help) {
    engGame& game = Game(engine);
    DrawModel(engine, game.menuModel, 5, x, y, kSmallSize);
    OfferHelp(engine, Inside(game.in, x, y, kSmallHalf, kSmallHalf), help);
}

float Slider(Engine& engine, float x, float upper, float lower, float& value) {
    engGame& game = Game(engine);
    const MenuInput& in = game.in;
    const bool onTrack = std::fabs(in.cursorX - x) <= kSmallHalf && in.cursorY <= upper && in.cursorY >= lower;
    if (in.left && onTrack) {
        value = in.cursorY;
        game.clickConsumed = true;
    }
    value = std::clamp(value, lower, upper);
    const bool hovered = std::fabs(in.cursorX - x) <= kSmallHalf && std::fabs(in.cursorY - value) <= kSmallHalf;
    // The track behind the knob: a button bar stood on its end (turned, its
    // 1-unit height runs across and its 4-unit width along the track).
    const float length = (upper - lower) * kMenuUnit + kSmallSize;
    DrawModel(engine, game.menuModel, 1, x * kMenuUnit, (upper + lower) / 2.0f * kMenuUnit, 0.15f, length / 4.0f,
              3.14159f / 2.0f);
    DrawModel(engine, game.arrowModel, hovered ? 13 : 12, x * kMenuUnit, value * kMenuUnit, kSmallSize);
    return value;
}

void TextBox(Engine& engine, float x, float y, float size, const std::string& text, int width, int valign) {
    std::vector<std::string> lines;
    std::string line, word;
    auto flushWord = [&] {
        if (word.empty()) return;
        if (!line.empty() && int(line.size() + 1 + word.size()) > width) {
            lines.push_back(line);
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        word.clear();
    };
    for (char c : text) {
        if (c == ' ') flushWord();
        else word += c;
    }
    flushWord();
    if (!line.empty()) lines.push_back(line);
    if (lines.size() > 10) lines.resize(10);
    if (lines.empty()) return;
    const float spacing = size * 1.2f;
    const float block = float(lines.size() - 1) * spacing;
    // y of the first line: the block hangs from its position (top), grows
    // upwards from it (bottom, as the subtitle line), or is centred on it.
    float first = y + block;
    if (valign == kTextTop) first = y;
    else if (valign == kTextMiddle) first = y + block / 2.0f;
    for (size_t i = 0; i < lines.size(); ++i) DrawText(engine, x, first - float(i) * spacing, lines[i], size, 0);
}

void Panel(Engine& engine) { DrawModel(engine, Game(engine).menuModel, 2, 0, 0, 9.6f, 7.6f); }

void ApplyRenderSetting(Engine& engine, const std::string& code) {
    const Settings& s = engine.settings;
    engGame& game = Game(engine);
    if (code == "ILC") {
        if (game.viewMode != 0) game.viewMode = !s.interlacing ? 5 : (game.menuOpen ? 3 : 1);
        return;
    }
    IDirect3DDevice8* dev = engine.gfx ? engine.gfx->Device() : nullptr;
    if (!dev) return;
    if (code == "ATF") {
        if (s.anisotropy != 1) {
            const DWORD filters = engine.gfx->caps.TextureFilterCaps;
            dev->SetTextureStageState(0, D3DTSS_MAGFILTER,
                                      (filters & D3DPTFILTERCAPS_MAGFANISOTROPIC) ? D3DTEXF_ANISOTROPIC : D3DTEXF_POINT);
            dev->SetTextureStageState(0, D3DTSS_MINFILTER,
                                      (filters & D3DPTFILTERCAPS_MINFANISOTROPIC) ? D3DTEXF_ANISOTROPIC : D3DTEXF_POINT);
            dev->SetTextureStageState(0, D3DTSS_MAXANISOTROPY, s.anisotropy);
        } else {
            // Off is the device set-up's plain linear filtering.
            dev->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
            dev->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
            dev->SetTextureStageState(0, D3DTSS_MAXANISOTROPY, 1);
        }
    } else if (code == "LGT") {
        dev->SetRenderState(D3DRS_LIGHTING, s.lighting ? 1 : 0);
        dev->SetRenderState(D3DRS_NORMALIZENORMALS, s.lighting ? 1 : 0);
    } else if (code == "SPC") {
        dev->SetRenderState(D3DRS_SPECULARENABLE, s.specular ? 1 : 0);
    }
}

} // namespace rdv
