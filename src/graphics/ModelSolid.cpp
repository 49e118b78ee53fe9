#include "graphics/ModelSolid.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace rdv {

namespace {

using Point = std::array<double, 3>;

// Past this many triangle-vertex pairs the convexity test costs more than a
// model can win by it; such models are simply not solid.
constexpr size_t kMostChecks = 1u << 20;

uint64_t PositionKey(const MeshVertex& v) {
    // -0 and +0 are the same place.
    const float p[3] = {v.x + 0.0f, v.y + 0.0f, v.z + 0.0f};
    uint32_t b[3];
    std::memcpy(b, p, sizeof b);
    uint64_t h = b[0];
    h = h * 0x9E3779B97F4A7C15ull ^ b[1];
    h = h * 0x9E3779B97F4A7C15ull ^ b[2];
    return h;
}

struct Welder {
    std::vector<Point> points;
    std::unordered_multimap<uint64_t, uint32_t> byKey;

    uint32_t Id(const MeshVertex& v) {
        const uint64_t key = PositionKey(v);
        const Point p{double{v.x} + 0.0, double{v.y} + 0.0, double{v.z} + 0.0};
        auto [first, last] = byKey.equal_range(key);
        for (auto it = first; it != last; ++it)
            if (points[it->second] == p) return it->second;
        points.push_back(p);
        const auto id = static_cast<uint32_t>(points.size() - 1);
        byKey.emplace(key, id);
        return id;
    }
};

Point Sub(const Point& a, const Point& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Point Cross(const Point& a, const Point& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Dot(const Point& a, const Point& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

} // namespace

bool SolidBoxOf(const ModelData& model, bool grouped, int32_t state, int axis, float min[3], float max[3]) {
    if (axis < 0 || axis > 2) return false;
    Welder welder;
    std::vector<std::array<uint32_t, 3>> triangles;
    const auto& vertices = model.vertices;
    for (const MeshSequence& s : model.sequences) {
        if (grouped && s.group != state) continue;
        if (s.count <= 0) continue;
        if (s.alpha || s.reverse) return false;
        const int64_t used = SequenceVertexCount(s.primitiveType, s.count);
        if (s.start < 0 || used < 0 || s.start + used > static_cast<int64_t>(vertices.size())) return false;
        auto vertex = [&](int64_t i) { return welder.Id(vertices[static_cast<size_t>(s.start + i)]); };
        for (int64_t i = 0; i < s.count; ++i) {
            std::array<uint32_t, 3> t;
            switch (s.primitiveType) {
            case kTriangleList: t = {vertex(3 * i), vertex(3 * i + 1), vertex(3 * i + 2)}; break;
            // Every other triangle of a strip is wound the other way round.
            case kTriangleStrip:
                t = i % 2 ? std::array<uint32_t, 3>{vertex(i + 1), vertex(i), vertex(i + 2)}
                          : std::array<uint32_t, 3>{vertex(i), vertex(i + 1), vertex(i + 2)};
                break;
            case kTriangleFan: t = {vertex(0), vertex(i + 1), vertex(i + 2)}; break;
            default: continue;   // points and lines hide nothing and open nothing
            }
            if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2]) continue;
            triangles.push_back(t);
        }
    }
    const auto& points = welder.points;
    if (triangles.size() < 4 || triangles.size() * points.size() > kMostChecks) return false;

    // Closed: each directed edge once, and its reverse once.
    std::unordered_map<uint64_t, int> edges;
    edges.reserve(triangles.size() * 3);
    auto edgeKey = [](uint32_t a, uint32_t b) { return (uint64_t{a} << 32) | b; };
    for (const auto& t : triangles)
        for (int k = 0; k < 3; ++k)
            if (++edges[edgeKey(t[k], t[(k + 1) % 3])] > 1) return false;
    for (const auto& [key, count] : edges)
        if (edges.find(edgeKey(static_cast<uint32_t>(key), static_cast<uint32_t>(key >> 32))) == edges.end())
            return false;

    Point lo = points[0], hi = points[0];
    for (const Point& p : points)
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], p[a]);
            hi[a] = std::max(hi[a], p[a]);
        }
    const double size = std::sqrt(Dot(Sub(hi, lo), Sub(hi, lo)));
    if (!std::isfinite(size) || size <= 0) return false;
    const double slack = 1e-5 * size;

    // Convex and facing outwards: no point in front of any triangle's plane.
    // Each plane also bounds the box along `axis`, its other sides being the
    // whole width of the model.
    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
    double from = lo[static_cast<size_t>(axis)], to = hi[static_cast<size_t>(axis)];
    for (const auto& t : triangles) {
        Point n = Cross(Sub(points[t[1]], points[t[0]]), Sub(points[t[2]], points[t[0]]));
        const double length = std::sqrt(Dot(n, n));
        if (!(length > 0)) continue;
        for (double& c : n) c /= length;
        const double d = Dot(n, points[t[0]]);
        for (const Point& p : points)
            if (Dot(n, p) - d > slack) return false;
        // The plane's furthest reach over the four edges of the box's width.
        const double side = std::max(n[static_cast<size_t>(u)] * lo[static_cast<size_t>(u)],
                                     n[static_cast<size_t>(u)] * hi[static_cast<size_t>(u)]) +
                            std::max(n[static_cast<size_t>(v)] * lo[static_cast<size_t>(v)],
                                     n[static_cast<size_t>(v)] * hi[static_cast<size_t>(v)]);
        const double along = n[static_cast<size_t>(axis)];
        if (std::fabs(along) < 1e-9) {
            if (side - d > slack) return false;
        } else if (along > 0) {
            to = std::min(to, (d - side) / along);
        } else {
            from = std::max(from, (d - side) / along);
        }
    }
    // A little inside, for the rounding of the test and of the drawing.
    from += slack;
    to -= slack;
    if (!(to > from)) return false;
    for (int a = 0; a < 3; ++a) {
        min[a] = static_cast<float>(lo[static_cast<size_t>(a)]);
        max[a] = static_cast<float>(hi[static_cast<size_t>(a)]);
    }
    min[axis] = static_cast<float>(from);
    max[axis] = static_cast<float>(to);
    return true;
}

} // namespace rdv
