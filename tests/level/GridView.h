#pragma once
// A camera for grid tests: a look-at view and the game's projection.
#include "platform/d3dx/D3DX8Math.h"

namespace rdv::test {

inline D3DXMATRIX LookAt(D3DXVECTOR3 eye, D3DXVECTOR3 at, D3DXVECTOR3 up = {0, 0, 1}) {
    D3DXMATRIX m;
    D3DXMatrixLookAtLH(&m, &eye, &at, &up);
    return m;
}

// The game's 4:3 projection; `nearPlane` scales its window with it.
inline D3DXMATRIX GameProjection(float nearPlane = 0.1f) {
    D3DXMATRIX m;
    D3DXMatrixPerspectiveLH(&m, nearPlane * 4 / 3, nearPlane, nearPlane, 100.0f);
    return m;
}

} // namespace rdv::test
