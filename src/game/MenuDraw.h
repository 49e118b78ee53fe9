#pragma once
// What the menu widgets (Menu.cpp) and pages (MenuPages.cpp) share: drawing
// a model on the menu plane and the hit test, both in menu units.
#include <cstdint>
#include <string>

#include "game/Game.h"

namespace rdv::menu {

// The menu plane lies this far in front of the menu camera; at the
// projection's half-height of 0.5 per unit of depth it spans one cursor
// unit from the centre to the top of the screen.
inline constexpr float kPlaneDistance = 2.0f;

// Draws frame `frame` of `model` centred at menu (x, y), `width` x `height`
// times its own size (models lie in the plane facing the menu camera:
// model y is screen right, model z screen up). `turn` turns it about the
// line of sight (pi: pointing the other way).
void DrawModel(Engine& engine, int32_t model, int32_t frame, float x, float y, float width, float height,
               float turn = 0.0f);
inline void DrawModel(Engine& engine, int32_t model, int32_t frame, float x, float y, float scale) {
    DrawModel(engine, model, frame, x, y, scale, scale);
}

// Language string `index`, or "" when the table has no such entry.
std::string Text(const Engine& engine, int index);

// Whether the cursor lies within the box of half sizes (in cursor units)
// around menu position (x, y).
bool Inside(const MenuInput& in, float x, float y, float halfWidth, float halfHeight);

// Hover with the right button held: the help text shows at the end of the page.
void OfferHelp(Engine& engine, bool hovered, const std::string& help);
// One action per press: the click is taken only while the flag is clear.
bool Clicked(engGame& game, bool hovered);

// Small widgets (boxes, arrows, slider knob) are 0.5 menu units square.
inline constexpr float kSmallSize = 0.5f;
inline constexpr float kSmallHalf = kSmallSize / 2.0f / kMenuUnit;   // 0.0625 cursor units

} // namespace rdv::menu
