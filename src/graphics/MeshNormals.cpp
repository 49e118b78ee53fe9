// Load-time passes over a model's vertices: blend-operation fallback,
// normals with their smoothing passes, and the group index cache.
#include <algorithm>
#include <cmath>

#include "graphics/ModelData.h"

namespace rdv {

namespace {

struct Vec {
    float x, y, z;
};

Vec Normalise(Vec v) {
    float len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (len == 0.0f) return {0, 0, 0};
    return {v.x / len, v.y / len, v.z / len};
}

bool VectorsEqual(const MeshVertex& a, const MeshVertex& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

// -1, 0, 1 ordering by x, then y, then z.
int ComparePositions(const MeshVertex& a, const MeshVertex& b) {
    if (a.x != b.x) return a.x < b.x ? -1 : 1;
    if (a.y != b.y) return a.y < b.y ? -1 : 1;
    if (a.z != b.z) return a.z < b.z ? -1 : 1;
    return 0;
}

void SiftDown(std::vector<int32_t>& order, const std::vector<MeshVertex>& v, size_t root, size_t end) {
    while (2 * root + 1 < end) {
        size_t child = 2 * root + 1;
        if (child + 1 < end && ComparePositions(v[order[child]], v[order[child + 1]]) < 0) ++child;
        if (ComparePositions(v[order[root]], v[order[child]]) >= 0) return;
        std::swap(order[root], order[child]);
        root = child;
    }
}

// Heap sort of vertex indices by position.
void SortVertexOrder(std::vector<int32_t>& order, const std::vector<MeshVertex>& v) {
    size_t n = order.size();
    if (n < 2) return;
    for (size_t start = n / 2; start-- > 0;) SiftDown(order, v, start, n);
    for (size_t end = n - 1; end > 0; --end) {
        std::swap(order[0], order[end]);
        SiftDown(order, v, 0, end);
    }
}

// Gives every run of equal positions in `order` (sorted) one normal: the
// normalised sum of the run's normals.
void ShareNormals(std::vector<MeshVertex>& v, const std::vector<int32_t>& order) {
    size_t i = 0;
    while (i < order.size()) {
        size_t j = i + 1;
        while (j < order.size() && VectorsEqual(v[order[i]], v[order[j]])) ++j;
        if (j - i > 1) {
            Vec sum{0, 0, 0};
            for (size_t k = i; k < j; ++k) {
                const auto& p = v[order[k]];
                sum.x += p.nx;
                sum.y += p.ny;
                sum.z += p.nz;
            }
            Vec n = Normalise(sum);
            for (size_t k = i; k < j; ++k) {
                auto& p = v[order[k]];
                p.nx = n.x;
                p.ny = n.y;
                p.nz = n.z;
            }
        }
        i = j;
    }
}

bool IsTriangles(int32_t type) { return type == kTriangleList || type == kTriangleStrip || type == kTriangleFan; }

// The vertex range of a sequence clamped to the vertex array.
std::pair<int32_t, int32_t> Range(const MeshSequence& s, size_t vertexCount) {
    int64_t first = std::max<int64_t>(0, s.start);
    int64_t last = static_cast<int64_t>(s.start) + SequenceVertexCount(s.primitiveType, s.count);
    last = std::min<int64_t>(last, static_cast<int64_t>(vertexCount));
    if (last < first) last = first;
    return {static_cast<int32_t>(first), static_cast<int32_t>(last)};
}

} // namespace

int64_t SequenceVertexCount(int32_t primitiveType, int32_t count) {
    if (count <= 0) return 0;
    const int64_t n = count;
    switch (primitiveType) {
    case kPointList: return n;
    case kLineList: return 2 * n;
    case kLineStrip: return n + 1;
    case kTriangleList: return 3 * n;
    case kTriangleStrip:
    case kTriangleFan: return n + 2;
    default: return 0;
    }
}

void VerifyDriver(ModelData& model, bool hasBlendOp) {
    if (hasBlendOp) return;
    for (auto& s : model.sequences) {
        if (!s.reverse) continue;
        // Without reverse-subtract the run would add light instead of taking
        // it away; black vertices add nothing.
        auto [first, last] = Range(s, model.vertices.size());
        for (int32_t i = first; i < last; ++i) model.vertices[i].color = 0;
        s.reverse = false;
        s.alpha = false;
    }
}

void CalcNormals(ModelData& model) {
    auto& v = model.vertices;
    const int64_t n = static_cast<int64_t>(v.size());
    std::vector<float> weight(v.size(), 0.0f);

    auto face = [&](int64_t a, int64_t b, int64_t c) {
        if (a < 0 || b < 0 || c < 0 || a >= n || b >= n || c >= n) return;
        Vec ab{v[b].x - v[a].x, v[b].y - v[a].y, v[b].z - v[a].z};
        Vec bc{v[c].x - v[b].x, v[c].y - v[b].y, v[c].z - v[b].z};
        Vec f{ab.y * bc.z - ab.z * bc.y, ab.z * bc.x - ab.x * bc.z, ab.x * bc.y - ab.y * bc.x};
        for (int64_t i : {a, b, c}) {
            float w = weight[i];
            Vec m = Normalise({f.x + v[i].nx * w, f.y + v[i].ny * w, f.z + v[i].nz * w});
            v[i].nx = m.x;
            v[i].ny = m.y;
            v[i].nz = m.z;
            weight[i] = w + 1.0f;
        }
    };

    for (const auto& s : model.sequences) {
        const int64_t st = s.start;
        for (int64_t i = 0; i < s.count; ++i) {
            switch (s.primitiveType) {
            case kTriangleList: face(st + 3 * i, st + 3 * i + 1, st + 3 * i + 2); break;
            // Every second strip triangle is wound the other way round; swap
            // two corners so all face the same side.
            case kTriangleStrip:
                if (i % 2 == 0) face(st + i, st + i + 1, st + i + 2);
                else face(st + i + 1, st + i, st + i + 2);
                break;
            case kTriangleFan: face(st, st + i + 1, st + i + 2); break;
            default: break;
            }
        }
    }

    // P: coincident vertices within one sequence share a normal.
    for (const auto& s : model.sequences) {
        if (!s.flagP || !IsTriangles(s.primitiveType)) continue;
        auto [first, last] = Range(s, v.size());
        std::vector<int32_t> order;
        for (int32_t i = first; i < last; ++i) order.push_back(i);
        SortVertexOrder(order, v);
        ShareNormals(v, order);
    }

    // C: coincident vertices of all C sequences share a normal, so their
    // seams disappear.
    std::vector<bool> taken(v.size(), false);
    std::vector<int32_t> order;
    for (const auto& s : model.sequences) {
        if (!s.flagC) continue;
        auto [first, last] = Range(s, v.size());
        for (int32_t i = first; i < last; ++i)
            if (!taken[i]) {
                taken[i] = true;
                order.push_back(i);
            }
    }
    SortVertexOrder(order, v);
    ShareNormals(v, order);
}

void CreateIndexCache(ModelData& model, int32_t lowest, int32_t highest) {
    (void)lowest;
    model.indexCache.assign(static_cast<size_t>(std::max(highest, 0)) + 1, {-1, -1});
    for (int32_t i = 0; i < static_cast<int32_t>(model.sequences.size()); ++i) {
        int32_t g = model.sequences[i].group;
        if (g < 0 || g > highest) continue;
        auto& entry = model.indexCache[g];
        if (entry.first < 0) entry.first = i;
        entry.second = i;
    }
    model.indexCacheContiguous = true;
    for (int32_t g = 0; g <= highest && model.indexCacheContiguous; ++g) {
        auto [first, last] = model.indexCache[g];
        if (first < 0) continue;
        for (int32_t i = first; i <= last; ++i)
            if (model.sequences[i].group != g) {
                model.indexCacheContiguous = false;
                break;
            }
    }
}

} // namespace rdv
