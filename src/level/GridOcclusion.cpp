#include "level/GridOcclusion.h"

#include <algorithm>
#include <cmath>

namespace rdv {

namespace {

// Rays are asked to pass this far inside a slab's sides, so that rounding in
// the test or in the drawing cannot matter.
constexpr float kInside = 0.01f;

} // namespace

double TurnDeterminant(const float (&m)[4][4]) {
    return double{m[0][0]} * (double{m[1][1]} * m[2][2] - double{m[1][2]} * m[2][1]) -
           double{m[0][1]} * (double{m[1][0]} * m[2][2] - double{m[1][2]} * m[2][0]) +
           double{m[0][2]} * (double{m[1][0]} * m[2][1] - double{m[1][1]} * m[2][0]);
}

void GridOcclusion::Clear() {
    run_ = Run{};
    rows_.clear();
    open_.clear();
    slabs_.clear();
    kept_.clear();
    facing_.clear();
    beyond_.clear();
}

void GridOcclusion::BeginLayer(int axis) {
    axis_ = axis;
    run_ = Run{};
    rows_.clear();
    open_.clear();
}

void GridOcclusion::AddCell(int32_t column, const float lo[3], const float hi[3], float drawLo, float drawHi) {
    const int w = axis_, u = (axis_ + 1) % 3, v = (axis_ + 2) % 3;
    if (run_.last >= run_.first) {
        SolidSlab& s = run_.slab;
        // The cell joins the run when it is the next column, touches the run
        // along the row and shares enough of its depth and width.
        const float bandLo = std::max(s.lo[w], lo[w]), bandHi = std::min(s.hi[w], hi[w]);
        const float wideLo = std::max(s.lo[v], lo[v]), wideHi = std::min(s.hi[v], hi[v]);
        if (column == run_.last + 1 && lo[u] <= s.hi[u] && bandHi - bandLo >= kThinnest && wideHi > wideLo) {
            s.lo[w] = bandLo;
            s.hi[w] = bandHi;
            s.lo[v] = wideLo;
            s.hi[v] = wideHi;
            s.hi[u] = std::max(s.hi[u], hi[u]);
            s.drawLo = std::min(s.drawLo, drawLo);
            s.drawHi = std::max(s.drawHi, drawHi);
            run_.last = column;
            ++run_.cells;
            return;
        }
        CloseRun();
    }
    if (!(hi[w] - lo[w] >= kThinnest) || !(hi[u] > lo[u]) || !(hi[v] > lo[v])) return;
    run_ = Run{};
    run_.first = run_.last = column;
    run_.cells = 1;
    SolidSlab& s = run_.slab;
    s.axis = w;
    std::copy(lo, lo + 3, s.lo);
    std::copy(hi, hi + 3, s.hi);
    s.drawLo = std::min(drawLo, lo[w]);
    s.drawHi = std::max(drawHi, hi[w]);
}

void GridOcclusion::CloseRun() {
    if (run_.last >= run_.first) rows_.push_back(run_);
    run_ = Run{};
}

void GridOcclusion::EndRow() {
    CloseRun();
    const int w = axis_, v = (axis_ + 2) % 3;
    // A run goes on a rectangle of the rows before when it covers the same
    // columns and touches it across the rows. Both lists are in the order
    // of their columns, which do not overlap within either.
    size_t next = 0;
    for (Run& row : rows_) {
        while (next < open_.size() && open_[next].first < row.first) ++next;
        if (next == open_.size()) break;
        {
            Run& rect = open_[next];
            if (rect.first != row.first || rect.last != row.last) continue;
            SolidSlab& s = rect.slab;
            const float bandLo = std::max(s.lo[w], row.slab.lo[w]), bandHi = std::min(s.hi[w], row.slab.hi[w]);
            if (row.slab.lo[v] > s.hi[v] || bandHi - bandLo < kThinnest) continue;
            const int u = (axis_ + 1) % 3;
            s.lo[u] = std::max(s.lo[u], row.slab.lo[u]);
            s.hi[u] = std::min(s.hi[u], row.slab.hi[u]);
            s.hi[v] = std::max(s.hi[v], row.slab.hi[v]);
            s.lo[w] = bandLo;
            s.hi[w] = bandHi;
            s.drawLo = std::min(s.drawLo, row.slab.drawLo);
            s.drawHi = std::max(s.drawHi, row.slab.drawHi);
            rect.cells += row.cells;
            rect.continued = true;
            row.cells = 0;   // taken
        }
    }
    next_.clear();
    for (Run& rect : open_) {
        if (rect.continued) {
            rect.continued = false;
            next_.push_back(rect);
        } else {
            Keep(rect);
        }
    }
    for (Run& row : rows_)
        if (row.cells > 0) next_.push_back(row);
    std::sort(next_.begin(), next_.end(), [](const Run& a, const Run& b) { return a.first < b.first; });
    open_.swap(next_);
    rows_.clear();
}

void GridOcclusion::EndLayer() {
    EndRow();
    for (const Run& rect : open_) Keep(rect);
    open_.clear();
    // The largest slabs hide the most; a bounded number keeps each test
    // cheap.
    std::stable_sort(kept_.begin(), kept_.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    if (kept_.size() > kMostSlabs) kept_.resize(kMostSlabs);
    slabs_.clear();
    for (const auto& [cells, slab] : kept_) slabs_.push_back(slab);
}

void GridOcclusion::Keep(const Run& rect) {
    const int u = (rect.slab.axis + 1) % 3, v = (rect.slab.axis + 2) % 3;
    if (rect.cells < kFewestCells) return;
    if (!(rect.slab.hi[u] - rect.slab.lo[u] > 2 * kInside) || !(rect.slab.hi[v] - rect.slab.lo[v] > 2 * kInside))
        return;
    kept_.emplace_back(rect.cells, rect.slab);
}

bool GridOcclusion::SetView(const float eye[3], const D3DMATRIX& view, const D3DMATRIX& projection) {
    facing_.clear();
    beyond_.clear();
    lastHiding_ = 0;
    // Only a perspective projection that looks along +z (as
    // D3DXMatrixPerspective*LH make) has its near plane where this reads it.
    const D3DMATRIX& p = projection;
    if (p.m[2][3] != 1.0f || p.m[3][3] != 0.0f || p.m[0][3] != 0.0f || p.m[1][3] != 0.0f || !(p.m[2][2] != 0.0f))
        return false;
    const double nearPlane = -double{p.m[3][2]} / p.m[2][2];
    if (!(nearPlane > 0) || !std::isfinite(nearPlane)) return false;
    // A view that mirrors turns the triangles facing the eye away from it.
    const auto& m = view.m;
    if (!(TurnDeterminant(m) > 0)) return false;
    const double e[3] = {eye[0], eye[1], eye[2]};
    const double depthRow[3] = {m[0][2], m[1][2], m[2][2]};
    const double eyeDepth = e[0] * depthRow[0] + e[1] * depthRow[1] + e[2] * depthRow[2] + m[3][2];
    const double nearest = nearPlane * 1.001;
    for (const SolidSlab& s : slabs_) {
        const int w = s.axis, u = (w + 1) % 3, v = (w + 2) % 3;
        Facing f{};
        f.axis = w;
        if (e[w] > s.drawHi) f.eyeAbove = true;
        else if (e[w] < s.drawLo) f.eyeAbove = false;
        else continue;
        // For p beyond the slab, p[w] - e[w] has the sign `sign`; the
        // conditions on where the ray crosses are multiplied by it to stay
        // linear in p.
        const double sign = f.eyeAbove ? -1 : 1;
        const double nearSide = f.eyeAbove ? s.hi[w] : s.lo[w];
        f.farSide = f.eyeAbove ? s.lo[w] : s.hi[w];
        int n = 0;
        for (double h : {nearSide, f.farSide}) {
            const double k = h - e[w];
            // (crossing[a] - bound) (p[w] - e[w]) = (e[a] - bound)(p[w] - e[w]) + k (p[a] - e[a])
            for (int a : {u, v}) {
                for (int side = 0; side < 2; ++side) {
                    const double bound = side == 0 ? s.lo[a] + kInside : s.hi[a] - kInside;
                    const double turn = sign * (side == 0 ? 1 : -1);
                    double* q = f.plane[n++];
                    q[0] = q[1] = q[2] = 0;
                    q[w] = turn * (e[a] - bound);
                    q[a] = turn * k;
                    q[3] = turn * (-(e[a] - bound) * e[w] - k * e[a]);
                }
            }
        }
        // depth(crossing at the drawing) - nearest, times (p[w] - e[w]):
        // (eyeDepth - nearest)(p[w] - e[w]) + (drawn - e[w])(depth(p) - eyeDepth)
        const double drawn = f.eyeAbove ? s.drawHi : s.drawLo;
        const double k = drawn - e[w];
        double* q = f.plane[n];
        for (int a = 0; a < 3; ++a) q[a] = sign * k * depthRow[a];
        q[w] += sign * (eyeDepth - nearest);
        q[3] = sign * (-(eyeDepth - nearest) * e[w] + k * (m[3][2] - eyeDepth));
        facing_.push_back(f);
        beyond_.push_back({w, f.eyeAbove, static_cast<float>(f.farSide)});
    }
    return true;
}

bool GridOcclusion::Hides(const float lo[3], const float hi[3]) const {
    const size_t count = facing_.size();
    // From the slab that hid the last box on: neighbours hide behind the
    // same one.
    for (size_t i = 0, at = lastHiding_; i < count; ++i, at = at + 1 == count ? 0 : at + 1) {
        // The box must lie wholly beyond the slab.
        const Beyond& b = beyond_[at];
        if (b.eyeAbove ? !(hi[b.axis] < b.farSide) : !(lo[b.axis] > b.farSide)) continue;
        const Facing& f = facing_[at];
        bool inside = true;
        for (int k = 0; k < 9 && inside; ++k) {
            const double* q = f.plane[k];
            // The box's corner least inside the half-space.
            const double least = q[0] * (q[0] >= 0 ? lo[0] : hi[0]) + q[1] * (q[1] >= 0 ? lo[1] : hi[1]) +
                                 q[2] * (q[2] >= 0 ? lo[2] : hi[2]) + q[3];
            inside = k < 8 ? least >= 0 : least > 0;
        }
        if (inside) {
            lastHiding_ = at;
            return true;
        }
    }
    return false;
}

} // namespace rdv
