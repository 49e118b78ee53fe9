#pragma once
// The part of the world a view and projection can put pixels in, for
// skipping grid faces that cannot: the four sides and the far plane of the
// clip volume, widened by a margin, and the plane through the eye instead
// of the near plane (a point behind the eye never reaches the screen).
// Tests are conservative: a box is outside only when all of it lies beyond
// one plane by more than the rounding of the test.
#include <algorithm>
#include <cmath>

#include "platform/d3d/D3D8.h"

namespace rdv {

class ViewVolume {
public:
    // Nothing is outside an empty volume.
    ViewVolume() = default;
    // `margin` widens the sides, as a fraction of the half screen.
    ViewVolume(const D3DMATRIX& view, const D3DMATRIX& projection, double margin = 0.05);

    // Whether no point within `radius` of (x, y, z) (along each axis: the
    // cube around the sphere) can be drawn.
    bool Outside(double x, double y, double z, double radius) const {
        if (!valid_) return false;
        for (const Plane& p : planes_) {
            const double ax = p.a * x, by = p.b * y, cz = p.c * z;
            const double d = ax + by + cz + p.d;
            const double slack = 1e-5 * (std::fabs(ax) + std::fabs(by) + std::fabs(cz) + std::fabs(p.d)) + 1e-6;
            if (d + radius * p.spread < -slack) return true;
        }
        return false;
    }
    // Whether every point of the box lies well inside the volume, so that
    // nothing in it is Outside.
    bool Inside(const double lo[3], const double hi[3]) const {
        if (!valid_) return false;
        for (const Plane& p : planes_) {
            const double k[3] = {p.a, p.b, p.c};
            double d = p.d, size = std::fabs(p.d);
            for (int i = 0; i < 3; ++i) {
                d += k[i] * (k[i] >= 0 ? lo[i] : hi[i]);
                size += std::fabs(k[i]) * std::max(std::fabs(lo[i]), std::fabs(hi[i]));
            }
            if (!(d > 1e-5 * size + 1e-6)) return false;
        }
        return true;
    }
    bool valid() const { return valid_; }

private:
    struct Plane {
        double a = 0, b = 0, c = 0, d = 0;
        double spread = 0;   // |a| + |b| + |c|
    };
    Plane planes_[6];
    bool valid_ = false;
};

} // namespace rdv
