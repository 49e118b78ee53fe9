#pragma once
// What the ball's source files share: the cell size and the vector helpers.
#include <cstdint>

#include "platform/d3dx/D3DX8Math.h"

namespace rdv {

inline constexpr float kCell = 1.5f;
inline constexpr float kToGrid = 0.6666667f;

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b);
float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b);
int32_t GridRound(float v);

} // namespace rdv
