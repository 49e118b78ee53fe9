// Where the ball is drawn: the logical position changes in whole cells at
// phase boundaries; the drawn position and the squash follow the phase and
// the time left in it, so steps, rises and falls look continuous.
#include <cmath>
#include <random>

#include "core/Engine.h"
#include "objects/Ball.h"
#include "packages/Parse.h"

namespace rdv {

void objBall::ComputeDisplay(D3DXVECTOR3& D, D3DXVECTOR3& S) {
    const D3DXVECTOR3 P = position;
    const D3DXVECTOR3 u = up;
    const D3DXVECTOR3 m = moveDir;
    const D3DXVECTOR3 a = upAbs;
    const D3DXVECTOR3 M = VectorAbs(moveDir);
    const D3DXVECTOR3 S0{0.25f, 0.25f, 0.25f};
    const float T = static_cast<float>(phaseTime);
    auto sq = [](float v) { return v * v; };
    auto wave = [&](float d) { return std::sin(3.1415f * T / d); };

    D = P;
    S = S0;
    switch (phase) {
    case 0:
        D = P - u * 0.5f;
        S = S0 - a * 0.1f;
        break;
    case 1: {
        const float t = (400 - T) / 400;
        D = P - u * (0.4f * sq(t));
        break;
    }
    case 2: {
        const float t = T / 400;
        D = P - u * (0.4f * sq(t));
        break;
    }
    case 3:
    case 18:
    case 19:
    case 27: {
        const float f = wave(500);
        D = P + u * (-0.4f - 0.15f * f);
        S = S0 - a * (0.15f * f);
        break;
    }
    case 5: {
        const float t = T / 400;
        D = P - u * (0.4f * sq(1 - t)) - m * (0.75f * t);
        break;
    }
    case 7:
    case 39: {
        const float f = wave(190);
        const float t = 0.466666666666667f * T / 190;
        D = P + m * (0.05f * f + 0.4f) - u * (0.4f * sq(t));
        if (phase == 7) S = S0 - M * (0.05f * f);
        break;
    }
    case 8: {
        const float t = T / 400;
        D = P - u * (0.4f * sq(1 - t)) + m * (0.4f * t);
        break;
    }
    case 9: {
        const float t = T / 600;
        D = P + u * (1.1f - 1.5f * t);
        break;
    }
    case 10: {
        const float t = T / 600;
        D = P + u * (1.5f * t - 1.9f);
        break;
    }
    case 11:
    case 35: {
        const float t = T / 320;
        D = P + u * (0.4f - 0.8f * t);
        break;
    }
    case 12: {
        const float f = wave(500);
        D = P + u * (0.15f * f + 0.4f);
        S = S0 - a * (0.15f * f);
        break;
    }
    case 13: {
        const float t = T / 320;
        D = P + u * (0.8f * t - 0.4f);
        break;
    }
    case 14: {
        const float t = T / 320;
        D = P + u * (0.8f * t - 1.9f);
        break;
    }
    case 15: {
        const float t = T / 400;
        D = P - m * (0.4f * sq(t)) - u * (0.4f * sq(1 - t));
        break;
    }
    case 16: {
        const float t = T / 600;
        D = P - u * (0.75f * sq(t)) + m * (0.75f * sq(1 - t));
        break;
    }
    case 17: {
        const float t = T / 400;
        D = P + m * (0.4f * sq(t)) + u * (0.75f * (1 - t));
        break;
    }
    case 20:
    case 28: {
        const float f = wave(500);
        D = P + u * (0.15f * f - 0.4f);
        break;
    }
    case 22: {
        const float t = T / 140;
        D = P + u * (0.35f * t - 0.75f);
        break;
    }
    case 24: {
        const float t = T / 460;
        D = P + u * (0.75f - 1.15f * t);
        break;
    }
    case 25: {
        const float t = T / 460;
        D = P + u * (1.15f * t - 0.3f);
        break;
    }
    case 26: {
        D = P + u * 0.75f;
        // The lost ball flickers between looks, from the engine's generator
        // so that simulations replay.
        std::uniform_real_distribution<float> uniform(0.0f, 1.0f);
        static const int32_t kModes[3] = {2, 5, 4};
        int k = static_cast<int>(3.0f * uniform(engine_.rng));
        if (k > 2) k = 2;
        renderMode = kModes[k];
        break;
    }
    case 29: {
        const float f = wave(500);
        const float k = 5000 - T;
        const float g = 0.15f * f / (0.0015f * k + 1) + 0.1f * k / 5000;
        D = P - u * (0.4f + g);
        if (g > 0) S = S0 - a * g;
        break;
    }
    case 31: {
        const float c = std::cos(3.14159f / 2 * T / 2000);
        const float w = 1 - c;
        D = P + m * ((1 - sq(w)) * 0.2f + 0.4f) + u * (-0.08711111f - 0.125f * (1 - w));
        S = S0 + a * (0.125f * (1 - w)) - M * (0.175f * (1 - w));
        break;
    }
    case 32:
        D = P + m * 0.6f - u * 0.21211111f;
        S = S0 + a * 0.125f - M * 0.175f;
        break;
    case 33: {
        const float c = std::cos(3.1415f / 2 * T / 500);
        D = P + u * (-0.4f - 0.25f * c);
        S = S0 - a * (0.2f * c);
        break;
    }
    case 34:
        D = P - u * 0.65f;
        S = S0 - a * 0.2f;
        break;
    case 36: {
        const float t = T / 400;
        D = P - u * (0.4f * sq(t)) + m * (0.75f * (1 - t));
        break;
    }
    case 37: {
        const float t = 0.533333333333333f * T / 210 + 0.466666666666667f;
        D = P + m * (0.75f * (1 - t)) - u * (0.4f * sq(t));
        break;
    }
    case 38: {
        const float f = wave(500);
        D = P + u * (-0.4f - 0.15f * f);
        break;
    }
    case 41:
    case 42: {
        const float t = T / 300;
        D = P + u * (1.1f - 0.7f * t);
        break;
    }
    case 43: {
        const float t = T / 600;
        const float k = 2 * sq(t) - 2 * t;
        D = P + u * (k - 0.4f);
        S = S0 - a * (0.2f * (1 - t));
        break;
    }
    case 44: {
        const float t = T / 600;
        const float w = 1 - t;
        const float g = 0.4f * w * w * w - 0.6f * sq(w) + 0.2f;
        D = P + u * (1.1f - 1.5f * t);
        S = S0 - a * g;
        break;
    }
    default: break;
    }
}

} // namespace rdv
