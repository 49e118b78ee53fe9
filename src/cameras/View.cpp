#include "cameras/View.h"

#include "core/Engine.h"

namespace rdv {

void SetPlayerView(Engine& engine, const D3DXVECTOR3& eye, const D3DXVECTOR3& lookAt, const D3DXVECTOR3& up,
                   int32_t player) {
    if (player < 0 || player >= kMaxPlayers) return;
    auto& view = engine.playerViews[static_cast<size_t>(player)];
    D3DXMatrixLookAtLH(&view.view, &eye, &lookAt, &up);
    view.eye = eye;
    view.lookAt = lookAt;
}

D3DXVECTOR3 CurrentPlayerEye(const Engine& engine) {
    const int32_t p = engine.currentPlayer;
    return engine.playerViews[(p >= 0 && p < kMaxPlayers) ? static_cast<size_t>(p) : 0].eye;
}

} // namespace rdv
