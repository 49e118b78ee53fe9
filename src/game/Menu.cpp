// The 3-D menu: immediate-mode widgets drawn every frame on a plane in
// front of the menu camera, and the pages built from them.
#include <cmath>

#include "core/Engine.h"
#include "core/Error.h"
#include "game/Game.h"
#include "game/Library.h"
#include "graphics/Core.h"
#include "graphics/Model.h"
#include "packages/Package.h"

namespace rdv {

namespace {

// The menu plane lies this far in front of the menu camera; at the
// projection's half-height of 0.5 per unit it spans one cursor unit from
// the centre to the top of the screen.
constexpr float kPlaneDistance = 2.0f;

void DrawModel(Engine& engine, int32_t model, int32_t frame, float x, float y, float scale) {
    gfxModel* m = engine.gfx ? engine.gfx->Model(model) : nullptr;
    if (!m) return;
    const float s = scale / kMenuUnit;
    m->DisplayMesh(engine, frame, 0, kPlaneDistance, x / kMenuUnit, y / kMenuUnit, 0, 0, 0, s, s, s);
}

std::string Text(const Engine& engine, int index) {
    return index >= 0 && index < int(engine.languageStrings.size()) ? engine.languageStrings[index] : std::string();
}

bool Inside(const MenuInput& in, float x, float y, float halfWidth, float halfHeight) {
    const float cx = x / kMenuUnit, cy = y / kMenuUnit;
    return std::fabs(in.cursorX - cx) <= halfWidth && std::fabs(in.cursorY - cy) <= halfHeight;
}

void HelpText(Engine& engine, bool hovered, const std::string& help) {
    engGame& game = Game(engine);
    if (hovered && game.in.right && !help.empty())
        DrawText(engine, game.in.cursorX * kMenuUnit, (game.in.cursorY + 0.1f) * kMenuUnit, help, 0.1f * kMenuUnit,
                 0);
}

// One action per press: a click is taken only while the flag is clear.
bool Clicked(engGame& game, bool hovered) {
    if (!hovered || !game.in.left || game.clickConsumed) return false;
    game.clickConsumed = true;
    return true;
}

void CampaignPage(Engine& engine, engGame& game, bool continuing) {
    DrawModel(engine, game.menuModel, 2, 0, 0, 4.0f);
    engLibrary& lib = Library(engine);
    for (int32_t i = 1; i <= lib.campaignCount; ++i) {
        const float y = 3.0f - 0.75f * float(i - 1) + game.scroll;
        const std::string caption = ResolveTextReference(engine, lib.campaignCaptions[size_t(i)]);
        DrawModel(engine, lib.campaignModels[size_t(i)], lib.campaignFrames[size_t(i)], -2.6f, y, 0.4f);
        if (MenuButton(engine, 0, y, caption, Text(engine, continuing ? 6 : 4))) {
            game.campaign->LoadCampaign(lib.campaignFiles[size_t(i)]);
            game.campaign->Bootcampaign(continuing ? 0 : 1);
            game.menuOpen = false;
            game.menuPage = 0;
            return;
        }
    }
    if (MenuButton(engine, 0, -3, Text(engine, 11), Text(engine, 12))) game.menuPage = 0;
}

} // namespace

void DrawText(Engine& engine, float x, float y, const std::string& text, float size, int align) {
    const int32_t font = Game(engine).fontModel;
    const float spacing = 0.65f * size;
    const float length = float(text.size());
    float start = x;
    if (align == 0) start = x - (length + 0.65f) * spacing / 2.0f;
    else if (align == 2) start = x - (length + 0.65f) * spacing;
    for (size_t i = 0; i < text.size(); ++i)
        DrawModel(engine, font, static_cast<unsigned char>(text[i]), start + float(i) * spacing, y - size / 2.0f,
                  size);
}

bool MenuButton(Engine& engine, float x, float y, const std::string& caption, const std::string& help) {
    engGame& game = Game(engine);
    const bool hovered = Inside(game.in, x, y, 0.5f, 0.125f);
    DrawModel(engine, game.menuModel, hovered ? 0 : 1, x, y, 1.0f);
    DrawText(engine, x, y, caption, 0.5f, 0);
    HelpText(engine, hovered, help);
    return Clicked(game, hovered);
}

void TextBox(Engine& engine, float x, float y, float size, const std::string& text, int width) {
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
    // The block grows upwards from its position, so the last line sits there.
    const float spacing = size * 1.2f;
    for (size_t i = 0; i < lines.size(); ++i)
        DrawText(engine, x, y + float(lines.size() - 1 - i) * spacing, lines[i], size, 0);
}

void MenuPage(Engine& engine) {
    engGame& game = Game(engine);
    switch (game.menuPage) {
    case 0:
        if (MenuButton(engine, 0, 3, Text(engine, 3), Text(engine, 4))) game.menuPage = 1;
        else if (MenuButton(engine, 0, 1, Text(engine, 5), Text(engine, 6))) game.menuPage = 2;
        else if (MenuButton(engine, 0, -1, Text(engine, 7), Text(engine, 8))) game.menuPage = 3;
        else if (MenuButton(engine, 0, -3, Text(engine, 9), Text(engine, 10))) engine.running = false;
        break;
    case 1:
    case 2:
        CampaignPage(engine, game, game.menuPage == 2);
        break;
    case 3:
        if (MenuButton(engine, 0, -3, Text(engine, 11), Text(engine, 12))) game.menuPage = 0;
        break;
    case 8:
        if (MenuButton(engine, 8, -3, Text(engine, 9), Text(engine, 10))) engine.running = false;
        break;
    default:
        if (MenuButton(engine, 0, 0, Text(engine, 11), Text(engine, 12)))
            game.menuPage = engine.flags.editor ? 8 : 0;
        break;
    }
    DrawModel(engine, game.mouseModel, 0, game.in.cursorX * kMenuUnit, game.in.cursorY * kMenuUnit, 0.5f);
}

} // namespace rdv
