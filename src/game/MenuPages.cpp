// The menu's pages, built from the widgets of Menu.cpp. Positions are menu
// units (the screen spans y -4..4); captions and help texts are language
// strings by number.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/Engine.h"
#include "core/Error.h"
#include "core/Subsystems.h"
#include "editor/Editor.h"
#include "game/Game.h"
#include "game/Library.h"
#include "game/MenuDraw.h"
#include "graphics/Core.h"
#include "input/Input.h"
#include "level/Level.h"
#include "packages/Package.h"
#include "sound/Sound.h"

namespace rdv {

using namespace menu;

namespace {

// ------------------------------------------------------------ scrolled lists

// Moves a list by whole rows for the wheel turned this frame (a notch a
// row, away from the player is up), when the cursor is over the list.
// `scroll` is the knob's travel from its top, `travel` all of it.
void WheelScroll(const MenuInput& in, bool over, float travel, int hiddenRows, float& scroll) {
    if (in.wheel == 0 || !over || hiddenRows <= 0 || travel <= 0) return;
    const int notches = std::max(1, std::abs(in.wheel) / kWheelDelta);
    const int first = int(std::lround(scroll / travel * float(hiddenRows)));
    const int next = std::clamp(first + (in.wheel > 0 ? -notches : notches), 0, hiddenRows);
    scroll = travel * float(next) / float(hiddenRows);
}

// A column of rows under a slider. The knob's travel from its top
// (engGame::scroll) moves the rows up by whole rows, the nearest to the
// knob's place, so that the last row can be brought to the bottom of the
// window and the knob near its top always shows the first row; rows
// outside the window are neither drawn nor clickable.
struct ScrolledList {
    float top;          // y of the first row when not scrolled (menu units)
    float spacing;      // between rows
    int visible;        // rows the window holds
    int rows;
    float sliderX;      // cursor units

    float WindowBottom() const { return top - spacing * float(visible - 1); }
    float Upper() const { return top / kMenuUnit; }
    float Lower() const { return WindowBottom() / kMenuUnit; }
    int HiddenRows() const { return std::max(0, rows - visible); }

    // The cursor over the rows, slider included.
    bool Over(const MenuInput& in) const {
        const float half = spacing / 2.0f / kMenuUnit;
        return in.cursorY <= Upper() + half && in.cursorY >= Lower() - half;
    }

    // Runs the wheel and the slider and returns the rows' offset.
    float Scroll(Engine& engine, engGame& game) const {
        const float travel = Upper() - Lower();
        WheelScroll(game.in, Over(game.in), travel, HiddenRows(), game.scroll);
        float value = Upper() - game.scroll;
        Slider(engine, sliderX, Upper(), Lower(), value);
        game.scroll = Upper() - value;
        if (travel <= 0) return 0.0f;
        return spacing * float(std::lround(game.scroll / travel * float(HiddenRows())));
    }
    // y of row i (from 0), or false when it lies outside the window.
    bool RowY(int i, float offset, float& y) const {
        y = top - spacing * float(i) + offset;
        return y <= top + 0.01f && y >= WindowBottom() - 0.01f;
    }
};

// Columns of the option rows.
constexpr float kLabelX = -4.2f;
constexpr float kControlX = 0.8f;
constexpr float kValueX = 2.2f;
constexpr float kRightArrowX = 3.6f;
constexpr float kOptionText = 0.35f;
constexpr float kBindingX = 1.2f;

void Label(Engine& engine, float y, const std::string& text) { DrawText(engine, kLabelX, y, text, kOptionText, 1); }

// A value between two arrows; -1, 0 or +1 for the arrow clicked.
int Stepper(Engine& engine, float y, const std::string& value, const std::string& help) {
    int step = 0;
    if (ArrowButton(engine, kControlX, y, -1, help)) step = -1;
    if (ArrowButton(engine, kRightArrowX, y, 1, help)) step = 1;
    DrawText(engine, kValueX, y, value, kOptionText, 0);
    return step;
}

// A Boolean setting's box, or an info box where the device lacks the feature.
bool Toggle(Engine& engine, float y, bool& setting, const std::string& help, bool available = true) {
    if (!available) {
        InfoLabel(engine, kControlX, y, help);
        return false;
    }
    if (!SmallButton(engine, kControlX, y, setting, help)) return false;
    setting = !setting;
    return true;
}

// Leaving an options page that may need the engine restarted.
void LeaveOptions(Engine& engine, engGame& game) {
    SaveSettings(engine);
    game.menuPage = game.restartNeeded ? 7 : 3;
    game.restartNeeded = false;
}

// ------------------------------------------------------------ pages

void MainPage(Engine& engine, engGame& game) {
    // The campaign lists start at their top whatever page scrolled last.
    if (MenuButton(engine, 0, 3, Text(engine, 3), Text(engine, 4))) {
        game.menuPage = 1;
        game.scroll = 0;
    }
    if (MenuButton(engine, 0, 1, Text(engine, 5), Text(engine, 6))) {
        game.menuPage = 2;
        game.scroll = 0;
    }
    if (MenuButton(engine, 0, -1, Text(engine, 7), Text(engine, 8))) game.menuPage = 3;
    if (MenuButton(engine, 0, -3, Text(engine, 9), Text(engine, 10))) engine.running = false;
}

// New game (start 1) or continue (start 0, the saved progress).
void CampaignPage(Engine& engine, engGame& game, bool continuing) {
    Panel(engine);
    engLibrary& lib = Library(engine);
    // Rows as far apart as a button is high, so no two hit boxes overlap.
    const ScrolledList list{3.0f, 1.25f, 5, std::max(0, lib.campaignCount), 0.75f};
    const float offset = list.Scroll(engine, game);
    for (int32_t i = 1; i <= lib.campaignCount; ++i) {
        float y = 0;
        if (!list.RowY(i - 1, offset, y)) continue;
        const auto at = size_t(i);
        if (at < lib.campaignModels.size())
            DrawModel(engine, lib.campaignModels[at], at < lib.campaignFrames.size() ? lib.campaignFrames[at] : 0,
                      -2.7f, y, 0.8f);
        const std::string caption =
            at < lib.campaignCaptions.size() ? ResolveTextReference(engine, lib.campaignCaptions[at]) : std::string();
        if (MenuButton(engine, 0, y, caption, Text(engine, continuing ? 6 : 4))) {
            game.campaign->LoadCampaign(at < lib.campaignFiles.size() ? lib.campaignFiles[at] : std::string());
            game.campaign->Bootcampaign(continuing ? 0 : 1);
            game.menuOpen = false;
            game.menuPage = 0;
            return;
        }
    }
    if (MenuButton(engine, 0, -3, Text(engine, 11), Text(engine, 12))) game.menuPage = 0;
}

void OptionsPage(Engine& engine, engGame& game) {
    if (MenuButton(engine, 0, 3, Text(engine, 13), Text(engine, 14))) {
        game.menuPage = 4;
        game.scroll = 0;
    }
    if (MenuButton(engine, 0, 1, Text(engine, 15), Text(engine, 16))) {
        game.menuPage = 5;
        game.scroll = 0;
    }
    if (MenuButton(engine, 0, -1, Text(engine, 17), Text(engine, 18))) game.menuPage = 6;
    if (MenuButton(engine, 0, -3, Text(engine, 11), Text(engine, 12))) game.menuPage = 0;
}

std::string ResolutionText(Engine& engine) {
    int32_t w = engine.settings.width, h = engine.settings.height;
    if (gfxCore* gfx = engine.gfx.get(); gfx && gfx->selectedResolution >= 1 &&
                                         gfx->selectedResolution <= gfx->resolutionCount &&
                                         gfx->selectedResolution < int32_t(gfx->resolutions.size())) {
        w = gfx->resolutions[size_t(gfx->selectedResolution)].width;
        h = gfx->resolutions[size_t(gfx->selectedResolution)].height;
    }
    return std::to_string(w) + "x" + std::to_string(h);
}

// The rows both views of the display page show.
void ResolutionRow(Engine& engine, engGame& game, float y) {
    Label(engine, y, Text(engine, 23));
    const int step = Stepper(engine, y, ResolutionText(engine), Text(engine, 24));
    gfxCore* gfx = engine.gfx.get();
    if (step == 0 || !gfx) return;
    const int32_t next = std::clamp(gfx->selectedResolution + step, 1, std::max(1, gfx->resolutionCount));
    if (next == gfx->selectedResolution) return;
    gfx->selectedResolution = next;
    game.restartNeeded = true;
}

void RestartToggle(Engine& engine, engGame& game, float y, int label, bool& setting, bool available = true) {
    Label(engine, y, Text(engine, label));
    if (Toggle(engine, y, setting, Text(engine, label + 1), available)) game.restartNeeded = true;
}

void MultisampleRow(Engine& engine, engGame& game, float y) {
    Settings& s = engine.settings;
    Label(engine, y, Text(engine, 38));
    std::string shown = Text(engine, 70);
    if (s.multisample >= 2) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.1f", std::sqrt(double(s.multisample)));
        shown = buf;
    }
    const int step = Stepper(engine, y, shown, Text(engine, 39));
    const int32_t most = engine.gfx ? std::max(0, engine.gfx->multisampleMax) : 0;
    const int32_t next = int32_t(s.multisample) + step;
    if (step == 0 || next < 0 || (step > 0 && next > most)) return;
    s.multisample = uint8_t(next);
    game.restartNeeded = true;
}

void AnisotropyRow(Engine& engine, float y) {
    Settings& s = engine.settings;
    Label(engine, y, Text(engine, 48));
    const std::string shown = s.anisotropy < 2 ? Text(engine, 70) : std::to_string(s.anisotropy) + "X";
    const int step = Stepper(engine, y, shown, Text(engine, 49));
    if (step == 0) return;
    // 0 (a fresh settings file) means off, as 1 does.
    const uint32_t level = std::max<uint32_t>(1, s.anisotropy);
    const uint32_t most = engine.gfx ? engine.gfx->available.maxAnisotropy : 0;
    uint32_t next = level;
    if (step < 0) next = std::max<uint32_t>(1, level / 2);
    else if (level * 2 <= most) next = level * 2;
    if (next == s.anisotropy) return;
    s.anisotropy = uint8_t(std::min<uint32_t>(next, 255));
    ApplyRenderSetting(engine, "ATF");
}

void DisplaySimple(Engine& engine, engGame& game) {
    Settings& s = engine.settings;
    ResolutionRow(engine, game, 2.5f);
    RestartToggle(engine, game, 1.5f, 27, s.colour32);
    RestartToggle(engine, game, 0.5f, 25, s.windowed);
    if (MenuButton(engine, 2.1f, -3, Text(engine, 19), Text(engine, 20))) {
        game.advancedView = true;
        game.scroll = 0;
    }
}

void DisplayAdvanced(Engine& engine, engGame& game) {
    Settings& s = engine.settings;
    const gfxCapabilityFlags caps = engine.gfx ? engine.gfx->available : gfxCapabilityFlags{};
    const bool interlaceAllowed = engine.gfx ? engine.gfx->interlaceAllowed : false;
    constexpr int kRows = 16;
    const ScrolledList list{3.3f, 0.85f, 7, kRows, 1.05f};
    const float offset = list.Scroll(engine, game);
    for (int row = 0; row < kRows; ++row) {
        float y = 0;
        if (!list.RowY(row, offset, y)) continue;
        auto plain = [&](int label, bool& setting, bool available) {
            Label(engine, y, Text(engine, label));
            return Toggle(engine, y, setting, Text(engine, label + 1), available);
        };
        switch (row) {
        case 0: ResolutionRow(engine, game, y); break;
        case 1: RestartToggle(engine, game, y, 27, s.colour32); break;
        case 2: RestartToggle(engine, game, y, 25, s.windowed); break;
        case 3:
            if (plain(34, s.lighting, caps.lighting)) ApplyRenderSetting(engine, "LGT");
            break;
        case 4:
            if (plain(42, s.specular, caps.specular)) ApplyRenderSetting(engine, "SPC");
            break;
        case 5: plain(44, s.localViewer, caps.localViewer); break;
        case 6: plain(36, s.fog, caps.fog); break;
        case 7: plain(40, s.textureTransforms, caps.textureTransforms); break;
        case 8: plain(54, s.multipass, caps.multipass); break;
        case 9: plain(52, s.vertexShaders, caps.vertexShaders); break;
        case 10: plain(46, s.pixelShaders, caps.pixelShaders); break;
        case 11: plain(50, s.gammaRamps, caps.gammaRamps); break;
        case 12: MultisampleRow(engine, game, y); break;
        case 13: AnisotropyRow(engine, y); break;
        // Every device can flip pages; interlacing is gone once antialiasing is on.
        case 14: RestartToggle(engine, game, y, 73, s.pageFlipping); break;
        case 15:
            if (plain(71, s.interlacing, interlaceAllowed)) ApplyRenderSetting(engine, "ILC");
            break;
        }
    }
    if (MenuButton(engine, 2.1f, -3, Text(engine, 21), Text(engine, 22))) {
        game.advancedView = false;
        game.scroll = 0;
    }
}

void DisplayPage(Engine& engine, engGame& game) {
    Panel(engine);
    if (game.advancedView) DisplayAdvanced(engine, game);
    else DisplaySimple(engine, game);
    if (MenuButton(engine, -2.1f, -3, Text(engine, 11), Text(engine, 12))) LeaveOptions(engine, game);
}

void ControlsPage(Engine& engine, engGame& game) {
    Panel(engine);
    auto& bindings = engine.settings.bindings;
    constexpr int kSlots = 2 * kControlsPerPlayer;
    // The first keyboard key held becomes the binding; mouse buttons are
    // not keys, so they never end the capture.
    if (game.keyCaptureSlot >= 0 && game.keyCaptureSlot < kSlots) {
        const Binding pressed = FirstPressedBinding(engine);
        if (pressed.device == kBindKeyboard) {
            bindings[size_t(game.keyCaptureSlot)] = pressed;
            game.keyCaptureSlot = -1;
            // The key is used up: Esc taken here does not also close the menu.
            game.clickConsumed = true;
        }
    }
    const ScrolledList list{3.3f, 0.85f, 7, kSlots, 1.05f};
    const float offset = list.Scroll(engine, game);
    for (int slot = 0; slot < kSlots; ++slot) {
        float y = 0;
        if (!list.RowY(slot, offset, y)) continue;
        const int player = slot / kControlsPerPlayer, control = slot % kControlsPerPlayer;
        DrawText(engine, kLabelX, y, Text(engine, 75 + player) + Text(engine, 77 + control), 0.3f, 1);
        // The box lights up while it waits for a key; its label stays the binding.
        const bool capturing = game.keyCaptureSlot == slot;
        const bool clicked = SmallButton(engine, kBindingX, y, capturing, std::string());
        DrawText(engine, kBindingX + 0.8f * kSmallSize, y, BindingName(bindings[size_t(slot)]), 0.35f, 1);
        if (clicked) game.keyCaptureSlot = capturing ? -1 : slot;
    }
    if (MenuButton(engine, 0, -3, Text(engine, 11), Text(engine, 12))) {
        game.keyCaptureSlot = -1;
        SaveSettings(engine);
        game.menuPage = 3;
    }
}

// The output rates the plug-in offers.
constexpr int32_t kFrequencies[] = {11025, 22050, 44100};

int32_t StepFrequency(int32_t f, int step) {
    // A rate off the steps (an old settings file) lands on the nearest step
    // in the direction asked for, and never leaves 11025..44100.
    if (step < 0) {
        int32_t next = kFrequencies[0];
        for (int32_t s : kFrequencies)
            if (s < f) next = s;
        return next;
    }
    int32_t next = kFrequencies[2];
    for (int i = 2; i >= 0; --i)
        if (kFrequencies[i] > f) next = kFrequencies[i];
    return next;
}

void SoundPage(Engine& engine, engGame& game) {
    Panel(engine);
    Settings& s = engine.settings;
    Label(engine, 2.5f, Text(engine, 84));
    const int percent = int(std::lround(s.musicVolume * 100.0f));
    if (const int step = Stepper(engine, 2.5f, std::to_string(percent) + "%", Text(engine, 85))) {
        s.musicVolume = float(std::clamp(percent + 10 * step, 0, 100)) / 100.0f;
        SetMusicVolume(engine);
    }
    Label(engine, 1.5f, Text(engine, 90));
    if (const int step = Stepper(engine, 1.5f, std::to_string(s.frequency) + " Hz", Text(engine, 91))) {
        const int32_t next = StepFrequency(s.frequency, step);
        if (next != s.frequency) {
            s.frequency = next;
            game.restartNeeded = true;
        }
    }
    RestartToggle(engine, game, 0.5f, 88, s.soundOn);
    if (MenuButton(engine, 0, -3, Text(engine, 11), Text(engine, 12))) LeaveOptions(engine, game);
}

void RestartPage(Engine& engine, engGame& game) {
    Panel(engine);
    TextBox(engine, 0, 1.5f, 0.4f, Text(engine, 33), 24, kTextMiddle);
    if (MenuButton(engine, -2, -1, Text(engine, 29), Text(engine, 30))) {
        engine.reboot = true;
        engine.running = false;
        game.menuPage = 0;
    }
    if (MenuButton(engine, 2, -1, Text(engine, 31), Text(engine, 32))) game.menuPage = 3;
}

// The palette column: seven tiles, one menu unit apart, each drawn 0.8
// units square.
constexpr int kPaletteRows = 7;
constexpr float kPaletteX = -2.6f;
constexpr float kPaletteTop = 3.0f;
constexpr float kPaletteTile = 0.8f;

// Shows a tile on the menu plane: the tile draws its floor face of cell
// (0, 0, 0) itself, and the view carries that face, turned to face the
// menu camera and shrunk, to menu position (x, y).
void DrawPaletteTile(Engine& engine, engGame& game, LevelObject& tile, float x, float y) {
    IDirect3DDevice8* dev = engine.gfx ? engine.gfx->Device() : nullptr;
    if (!dev) return;
    const float k = kPaletteTile / kMenuUnit / 1.5f;
    // Face plane to the origin, its top side turned towards -x (the camera),
    // shrunk, moved onto the menu plane.
    D3DXMATRIX lift, turn, shrink, place, a, b, c, view;
    D3DXMatrixTranslation(&lift, 0, 0, 0.75f);
    turn = MatrixIdentity();
    turn.m[0][0] = 0; turn.m[0][2] = 1;    // x -> z
    turn.m[2][0] = -1; turn.m[2][2] = 0;   // z -> -x
    D3DXMatrixScaling(&shrink, k, k, k);
    D3DXMatrixTranslation(&place, kPlaneDistance, x / kMenuUnit, y / kMenuUnit);
    D3DXMatrixMultiply(&a, &lift, &turn);
    D3DXMatrixMultiply(&b, &a, &shrink);
    D3DXMatrixMultiply(&c, &b, &place);
    D3DXMatrixMultiply(&view, &c, &game.menuView);
    dev->SetTransform(D3DTS_VIEW, &view);
    tile.Render(0, 0, 0, kFaceZ);
    dev->SetTransform(D3DTS_VIEW, &game.menuView);
}

void EditorPage(Engine& engine, engGame& game) {
    engLevel* level = game.Level();
    DrawModel(engine, game.menuModel, 2, -3.05f, 0, 2.0f, 7.6f);
    constexpr float kUpper = 0.9f, kLower = -0.9f;
    const int32_t tiles = level ? level->TileCount() : 0;
    const bool overPalette = std::fabs(game.in.cursorX * kMenuUnit - kPaletteX) <= 1.0f ||
                             std::fabs(game.in.cursorX + 0.9f) <= kSmallHalf;
    WheelScroll(game.in, overPalette, kUpper - kLower, std::max(0, tiles - kPaletteRows), game.scroll);
    float value = kUpper - game.scroll;
    Slider(engine, -0.9f, kUpper, kLower, value);
    game.scroll = kUpper - value;
    if (level) {
        const int32_t count = level->TileCount();
        const int32_t hidden = std::max(0, count - kPaletteRows);
        const int32_t first = 1 + int32_t(std::lround(game.scroll / (kUpper - kLower) * float(hidden)));
        auto* cursor = dynamic_cast<objDrawCursor*>(level->GetEditorCursor());
        for (int row = 0; row < kPaletteRows; ++row) {
            const int32_t index = first + row;
            LevelObject* tile = level->TileObject(index);
            if (!tile) continue;
            const float y = kPaletteTop - float(row);
            DrawPaletteTile(engine, game, *tile, kPaletteX, y);
            const int32_t reference = level->TileReference(index);
            // The brush in use is marked beside its tile.
            if (cursor && cursor->brush == reference) DrawModel(engine, game.menuModel, 4, kPaletteX + 0.75f, y, 0.3f);
            const float half = kPaletteTile / 2.0f / kMenuUnit;
            const bool hovered = Inside(game.in, kPaletteX, y, half, half);
            OfferHelp(engine, hovered, hovered && game.in.right ? tile->ToolTipText() : std::string());
            if (Clicked(game, hovered) && cursor) cursor->brush = reference;
        }
    }
    if (MenuButton(engine, 2, 1, Text(engine, 58), Text(engine, 59))) game.menuPage = 9;
    if (MenuButton(engine, 2, -1, Text(engine, 56), Text(engine, 57)) && level) {
        try {
            level->SaveLevel("save");
            game.menuOpen = false;
            game.menuPage = 0;
        } catch (const EngineError& e) {
            // The edits are still in memory: say why and keep the menu up,
            // rather than end the program and lose them.
            engine.log.Write("WARNING: " + e.source + ": " + e.description, 4);
        }
    }
    if (MenuButton(engine, 2, -3, Text(engine, 9), Text(engine, 10))) engine.running = false;
}

void HelpLine(Engine& engine, engGame& game) {
    if (game.pendingHelp.empty()) return;
    // Centred on the cursor, 0.1 cursor units (one text size) above it, kept on the screen.
    constexpr float size = 0.1f * kMenuUnit;
    const float spacing = 0.65f * size;
    const float width = float(game.pendingHelp.size()) * spacing;
    const float edge = engine.aspectRatio * kMenuUnit;
    // DrawText puts centred text this far left of its position.
    const float lead = (float(game.pendingHelp.size()) + 0.65f) * spacing / 2.0f;
    float start = game.in.cursorX * kMenuUnit - lead;
    start = std::max(-edge, std::min(start, edge - width));
    const float y = std::min(game.in.cursorY * kMenuUnit + size, kMenuUnit - size / 2.0f);
    DrawText(engine, start + lead, y, game.pendingHelp, size, 0);
    game.pendingHelp.clear();
}

} // namespace

void MenuPage(Engine& engine) {
    engGame& game = Game(engine);
    game.pendingHelp.clear();
    switch (game.menuPage) {
    case 0: MainPage(engine, game); break;
    case 1: CampaignPage(engine, game, false); break;
    case 2: CampaignPage(engine, game, true); break;
    case 3: OptionsPage(engine, game); break;
    case 4: DisplayPage(engine, game); break;
    case 5: ControlsPage(engine, game); break;
    case 6: SoundPage(engine, game); break;
    case 7: RestartPage(engine, game); break;
    case 8: EditorPage(engine, game); break;
    default:
        if (MenuButton(engine, 0, 0, Text(engine, 11), Text(engine, 12))) game.menuPage = engine.flags.editor ? 8 : 0;
        break;
    }
    HelpLine(engine, game);
    DrawModel(engine, game.mouseModel, 0, game.in.cursorX * kMenuUnit, game.in.cursorY * kMenuUnit, 0.5f);
}

} // namespace rdv
