#pragma once
// engGame (engine.game): the game flow. It owns the one current level and
// the campaign, decides how the players' views are drawn (one view, split
// screen or alternating halves), and puts the menu or the subtitle line
// over the level each frame.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "game/Campaign.h"
#include "platform/d3d/D3D8.h"
#include "platform/d3dx/D3DX8Math.h"

namespace rdv {

class Engine;
class engLevel;

// What the menu and the Esc handling read of the input each frame.
struct MenuInput {
    bool esc = false;
    bool left = false;
    bool right = false;
    float cursorX = 0.0f;
    float cursorY = 0.0f;
    // Wheel turned since the last frame, in 120ths of a notch (> 0 away from the player).
    int32_t wheel = 0;
};

class engGame {
public:
    explicit engGame(Engine& engine);
    ~engGame();
    engGame(const engGame&) = delete;
    engGame& operator=(const engGame&) = delete;

    // Replaces the current level by a new one loaded from `name`; the old
    // one stays current if the load fails, and lives until the next frame
    // so that a level may ask for its own replacement from inside its Tick.
    void ReplaceLevel(const std::string& name);
    engLevel* Level() { return level.get(); }

    void Frame();
    void SetupViewports();
    // The level's dual option decides the view mode once a level is read.
    void AdoptLevelViewMode();

    std::shared_ptr<engLevel> level;
    std::unique_ptr<engCampaign> campaign;
    std::string currentLevelName;

    bool menuOpen = false;
    int16_t menuPage = 0;
    bool clickConsumed = false;
    uint8_t viewMode = 0;
    uint8_t previousViewMode = 0;
    int32_t viewTimer = 3000;
    std::array<D3DVIEWPORT8, 3> viewports{};
    int32_t currentViewport = 0;
    D3DXVECTOR3 cameraDirection{1, 0, 0};
    D3DXMATRIX menuView{};
    uint32_t lastTickTime = 0;
    uint32_t frameEndTime = 0;

    int32_t fontModel = 0, menuModel = 0, mouseModel = 0, arrowModel = 0, loaderModel = 0;

    // Menu state shared by the pages. scroll is how far the page's slider
    // knob has moved down from its top, in cursor units.
    float scroll = 0.0f;
    bool restartNeeded = false;
    int32_t keyCaptureSlot = -1;
    bool advancedView = false;
    // The help text (or tool tip) under the cursor this frame; drawn last,
    // over every widget of the page.
    std::string pendingHelp;

    // This frame's buttons and cursor; read from the input module unless a
    // test replaces it.
    std::function<MenuInput()> readInput;
    MenuInput in;

    // Draws the level of the current player with the current viewport.
    void TickAndRender();
    void RenderView(int32_t& elapsed);
    void SetViewport(int32_t index);
    void MenuCamera();

private:
    void TwoViewStep();
    uint32_t Now();

    Engine& engine_;
    std::shared_ptr<engLevel> retired_;
    int32_t endingReason_ = 2;
    uint32_t now_ = 0;
};

// The engine's game module (made on first use in engine.game).
engGame& Game(Engine& engine);

// Draws the loading screen as one frame.
void DrawLoadingScreen(Engine& engine);

// ---- the menu (Menu.cpp widgets, MenuPages.cpp pages)
// Menu units: widgets are placed and drawn in them; the cursor (and every
// hit box) is in cursor units, one cursor unit being kMenuUnit menu units.
// The screen spans y -4..4 and x -4 aspect..4 aspect menu units.
inline constexpr float kMenuUnit = 4.0f;

// align: 0 centred, 1 left, 2 right. Position and size in menu units.
void DrawText(Engine& engine, float x, float y, const std::string& text, float size, int align);
// The widgets return true in the frame they are clicked: cursor on them,
// left button down and the click-consumed flag clear (which they then set).
// A held right button over a widget shows its help text at the cursor.
// 4 x 1 menu units ("menu" frame 1, frame 0 hovered) with its caption.
bool MenuButton(Engine& engine, float x, float y, const std::string& caption, const std::string& help);
// A 0.5-unit box: off/on ("menu" frames 3/4), or off with a label beside it.
bool SmallButton(Engine& engine, float x, float y, bool on, const std::string& help);
bool SmallButton(Engine& engine, float x, float y, const std::string& label, const std::string& help);
// A 0.5-unit arrow, direction -1 left / +1 right.
bool ArrowButton(Engine& engine, float x, float y, int direction, const std::string& help);
// A 0.5-unit box that only answers the right button with its help text.
void InfoLabel(Engine& engine, float x, float y, const std::string& help);
// A vertical knob at cursor x `x`, between cursor y `lower` and `upper`:
// dragging with the left button moves `value` (the knob's cursor y).
float Slider(Engine& engine, float x, float upper, float lower, float& value);
// Vertical alignment of a TextBox: where its position is.
enum TextBoxAlign : int { kTextBottom = 0, kTextTop = 1, kTextMiddle = 2 };
// Splits `text` at blanks into at most 10 lines of at most `width` characters.
void TextBox(Engine& engine, float x, float y, float size, const std::string& text, int width,
             int valign = kTextBottom);
// The page background.
void Panel(Engine& engine);
// Draws and handles the current page, then the mouse pointer.
void MenuPage(Engine& engine);
// Puts one option of the settings onto the device at once: "ATF"
// anisotropy, "ILC" interlacing (the view mode), "LGT" lighting, "SPC" specular.
void ApplyRenderSetting(Engine& engine, const std::string& code);

} // namespace rdv
