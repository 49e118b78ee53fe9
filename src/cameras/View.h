#pragma once
// The per-player view: a left-handed look-at matrix with the eye and the
// look-at point it was built from, kept in engine.playerViews. The director,
// the rotary camera and the edit camera set it; the game flow draws with it.
#include <cstdint>

#include "platform/d3dx/D3DX8Math.h"

namespace rdv {

class Engine;

inline constexpr int32_t kMaxPlayers = 2;

// Builds player `player`'s view (0 or 1; other indexes are ignored).
void SetPlayerView(Engine& engine, const D3DXVECTOR3& eye, const D3DXVECTOR3& lookAt, const D3DXVECTOR3& up,
                   int32_t player);

// The eye of the player being drawn (engine.currentPlayer; player 0 when
// that is out of range).
D3DXVECTOR3 CurrentPlayerEye(const Engine& engine);

} // namespace rdv
