#include "level/ViewVolume.h"

#include <cmath>

namespace rdv {

ViewVolume::ViewVolume(const D3DMATRIX& view, const D3DMATRIX& projection, double margin) {
    // Clip coordinates of a point are [x y z 1] x view x projection; column j
    // of the product gives clip component j as a plane in the world.
    double m[4][4];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += double{view.m[i][k]} * double{projection.m[k][j]};
            m[i][j] = sum;
        }
    auto column = [&](int j, double f, Plane& p) {
        p.a += f * m[0][j];
        p.b += f * m[1][j];
        p.c += f * m[2][j];
        p.d += f * m[3][j];
    };
    const double w = 1 + margin;
    column(3, w, planes_[0]), column(0, 1, planes_[0]);    // x >= -w
    column(3, w, planes_[1]), column(0, -1, planes_[1]);   // x <= w
    column(3, w, planes_[2]), column(1, 1, planes_[2]);    // y >= -w
    column(3, w, planes_[3]), column(1, -1, planes_[3]);   // y <= w
    column(3, 1, planes_[4]);                              // w >= 0
    // The far plane lies at a depth close to 1, where a wide margin would
    // reach far beyond it: a tiny one.
    column(3, 1 + 1e-5, planes_[5]), column(2, -1, planes_[5]);   // z <= w
    valid_ = true;
    for (Plane& p : planes_) {
        p.spread = std::fabs(p.a) + std::fabs(p.b) + std::fabs(p.c);
        if (!std::isfinite(p.spread) || !std::isfinite(p.d)) valid_ = false;
    }
}

} // namespace rdv
