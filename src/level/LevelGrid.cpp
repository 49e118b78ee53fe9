#include <algorithm>
#include <cmath>
#include <string>

#include "core/Engine.h"
#include "core/Error.h"
#include "graphics/Core.h"
#include "graphics/Model.h"
#include "level/Level.h"
#include "level/ViewVolume.h"
#include "packages/Parse.h"

namespace rdv {

namespace {
const char* const kAssignSource = "Engine->LoadLevel->ReadLevelFile->AssignProperty";

int Sign(float v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

// Along a face's plane both the cell and its neighbour in the direction
// must lie in the world: for the six axis directions that is the cell
// alone, and a direction off the axes cannot reach a face of another cell.
bool InRange(int64_t v, int32_t size) { return v >= 0 && v < size; }
} // namespace

const std::array<const char*, 27> kTileSectionNames = {
    "",           "Wall",        "Metal",       "Grass",      "Ring",      "MarkedMetal", "Invisible",
    "Gravity",    "Ice",         "SlipperyIce", "Snow",       "Laser",     "SpikeA",      "SpikeB",
    "BrickFloor", "IceSheet",    "GrassField",  "SlipperyCoat", "MetalFloor", "SnowCover", "ForceField",
    "ForceField2", "ForceField3", "BreakWall",  "FanA",       "FanB",      "Water",
};

int32_t TileCodeOfSection(const std::string& name) {
    for (int32_t code = 1; code < static_cast<int32_t>(kTileSectionNames.size()); ++code)
        if (name == kTileSectionNames[static_cast<size_t>(code)]) return code;
    return 0;
}

void engLevel::SetWorldSize(int32_t x, int32_t y, int32_t z, const std::string& what) {
    const int64_t X = x, Y = y, Z = z;
    const bool bad = x < 0 || y < 0 || z < 0 || X > kMaxWorldFaces || Y > kMaxWorldFaces || Z > kMaxWorldFaces ||
                     (Z + 1) * X * Y + (X + 1) * Y * Z + (Y + 1) * X * Z > kMaxWorldFaces;
    if (bad) RaiseError(ErrFormat, kAssignSource, "Invalid world size: " + what);
    sizeX_ = x;
    sizeY_ = y;
    sizeZ_ = z;
    layerXY_ = X * Y;
    layerXZ_ = X * Z;
    layerYZ_ = Y * Z;
    // One spare element past the faces of each array.
    faces_[kFaceZ].assign(static_cast<size_t>((Z + 1) * layerXY_ + 1), 0);
    faces_[kFaceX].assign(static_cast<size_t>((X + 1) * layerYZ_ + 1), 0);
    faces_[kFaceY].assign(static_cast<size_t>((Y + 1) * layerXZ_ + 1), 0);
    ++facesVersion_;
}

void engLevel::Paintstruct(const std::string& key, const std::string& value) {
    if (key == "sx") {
        cursor_.sx = RoundHalfEven(Val(value));
    } else if (key == "sy") {
        cursor_.sy = RoundHalfEven(Val(value));
    } else if (key == "sz") {
        cursor_.sz = RoundHalfEven(Val(value));
    } else if (key == "up") {
        if (value == "z" || value == "-z") cursor_.orientation = kFaceZ;
        else if (value == "x" || value == "-x") cursor_.orientation = kFaceX;
        else if (value == "y" || value == "-y") cursor_.orientation = kFaceY;
        else RaiseError(ErrFormat, kAssignSource, "Invalid property value for 'up', must be (-)x/y/z : " + value);
    } else if (key == "dx") {
        PaintRun(0, RoundHalfEven(Val(value)));
    } else if (key == "dy") {
        PaintRun(1, RoundHalfEven(Val(value)));
    } else if (key == "dz") {
        PaintRun(2, RoundHalfEven(Val(value)));
    } else {
        RaiseError(ErrFormat, kAssignSource, "Property isn't a worldpaint action: " + key);
    }
}

void engLevel::PaintRun(int axis, int32_t target) {
    int32_t* coordinate = axis == 0 ? &cursor_.sx : (axis == 1 ? &cursor_.sy : &cursor_.sz);
    const int32_t step = target >= *coordinate ? 1 : -1;
    std::vector<int32_t>& faces = faces_[cursor_.orientation];
    for (;;) {
        // The cursor is not held inside the world: a coordinate beyond it
        // lands on another face of the same plane array, but never outside
        // the array itself.
        const int64_t sx = cursor_.sx, sy = cursor_.sy, sz = cursor_.sz;
        const int64_t index = FaceIndex(cursor_.orientation, sx, sy, sz);
        if (index < 0 || index >= static_cast<int64_t>(faces.size()))
            RaiseError(ErrSubscript, kAssignSource, "Subscript out of range");
        faces[static_cast<size_t>(index)] = currentSection_;
        ++facesVersion_;
        if (*coordinate == target) break;
        *coordinate += step;
    }
}

int32_t engLevel::GetMapObject(int32_t x, int32_t y, int32_t z, int32_t dx, int32_t dy, int32_t dz) const {
    int orientation = 0;
    int64_t index = -1;
    const int64_t X = x, Y = y, Z = z;
    if (dz != 0) {
        const int64_t k = dz == -1 ? Z : Z + 1;
        if (!InRange(X, sizeX_) || !InRange(Y, sizeY_) || !InRange(X + dx, sizeX_) || !InRange(Y + dy, sizeY_) ||
            k < 0 || k > sizeZ_)
            return 0;
        orientation = kFaceZ;
        index = k * layerXY_ + Y * sizeX_ + X;
    } else if (dx == 0) {
        if (dy == 0) return 0;
        const int64_t k = dy == -1 ? Y : Y + 1;
        if (X < 0 || X >= sizeX_ || Z < 0 || Z >= sizeZ_ || k < 0 || k > sizeY_) return 0;
        orientation = kFaceY;
        index = k * layerXZ_ + Z * sizeX_ + X;
    } else {
        const int64_t k = dx == -1 ? X : X + 1;
        if (!InRange(Y, sizeY_) || !InRange(Y + dy, sizeY_) || !InRange(Z, sizeZ_) || k < 0 || k > sizeX_) return 0;
        orientation = kFaceX;
        index = k * layerYZ_ + Z * sizeY_ + Y;
    }
    const auto& faces = faces_[orientation];
    if (index < 0 || index >= static_cast<int64_t>(faces.size()) - 1) return 0;
    return faces[static_cast<size_t>(index)];
}

void engLevel::SetMapObject(int32_t x, int32_t y, int32_t z, int32_t dx, int32_t dy, int32_t dz, int32_t reference) {
    int orientation = 0;
    int64_t index = -1;
    const int64_t X = x, Y = y, Z = z;
    if (dz != 0) {
        const int64_t k = dz == -1 ? Z : Z + 1;
        if (!InRange(X, sizeX_) || !InRange(Y, sizeY_) || !InRange(X + dx, sizeX_) || !InRange(Y + dy, sizeY_) ||
            k < 0 || k > sizeZ_)
            return;
        orientation = kFaceZ;
        index = k * layerXY_ + Y * sizeX_ + X;
    } else if (dx == 0) {
        if (dy == 0) return;
        const int64_t k = dy == -1 ? Y : Y + 1;
        if (X < 0 || X >= sizeX_ || Z < 0 || Z >= sizeZ_ || k < 0 || k > sizeY_) return;
        orientation = kFaceY;
        index = k * layerXZ_ + Z * sizeX_ + X;
    } else {
        const int64_t k = dx == -1 ? X : X + 1;
        if (!InRange(Y, sizeY_) || !InRange(Y + dy, sizeY_) || !InRange(Z, sizeZ_) || k < 0 || k > sizeX_) return;
        orientation = kFaceX;
        index = k * layerYZ_ + Z * sizeY_ + Y;
    }
    auto& faces = faces_[orientation];
    if (index < 0 || index >= static_cast<int64_t>(faces.size()) - 1) return;
    faces[static_cast<size_t>(index)] = reference;
    ++facesVersion_;
}

std::array<GridLoop, 3> GridDrawOrder(const D3DXVECTOR3& d, int32_t sizeX, int32_t sizeY, int32_t sizeZ) {
    const float ax = std::fabs(d.x), ay = std::fabs(d.y), az = std::fabs(d.z);
    int outer, middle, inner;
    if (ax >= ay && ax >= az) {
        outer = 0;
        middle = ay > az ? 1 : 2;
    } else if (ay >= ax && ay >= az) {
        outer = 1;
        middle = ax > az ? 0 : 2;
    } else {
        outer = 2;
        middle = ax > ay ? 0 : 1;
    }
    inner = 3 - outer - middle;
    const int32_t sizes[3] = {sizeX, sizeY, sizeZ};
    const int signs[3] = {Sign(d.x), Sign(d.y), Sign(d.z)};
    std::array<GridLoop, 3> loops;
    const int axes[3] = {outer, middle, inner};
    for (int i = 0; i < 3; ++i) {
        const int a = axes[i];
        // Far planes first: looking along +axis, the high end is far away.
        if (signs[a] == 1) loops[static_cast<size_t>(i)] = {a, sizes[a], 0, -1};
        else loops[static_cast<size_t>(i)] = {a, 0, sizes[a], 1};
    }
    return loops;
}

namespace {

// The merged extents of a set of boxes along one axis. Past a few dozen
// pieces it becomes one piece from the lowest to the highest: never less
// than the truth, and never slow.
void AddExtent(std::vector<std::pair<float, float>>& pieces, float lo, float hi) {
    constexpr size_t kMostPieces = 48;
    for (auto& p : pieces) {
        if (lo <= p.second && hi >= p.first) {
            p.first = std::min(p.first, lo);
            p.second = std::max(p.second, hi);
            return;
        }
    }
    if (pieces.size() < kMostPieces) {
        pieces.emplace_back(lo, hi);
        return;
    }
    auto all = pieces.front();
    for (const auto& p : pieces) all = {std::min(all.first, p.first), std::max(all.second, p.second)};
    pieces.assign(1, {std::min(all.first, lo), std::max(all.second, hi)});
}

// The point the view takes to the origin: eye x R + t = 0 for the view's
// 3 x 3 part R and translation t. False when R cannot be inverted.
bool EyeOf(const D3DMATRIX& v, float eye[3]) {
    const double a = v.m[0][0], b = v.m[0][1], c = v.m[0][2];
    const double d = v.m[1][0], e = v.m[1][1], f = v.m[1][2];
    const double g = v.m[2][0], h = v.m[2][1], i = v.m[2][2];
    const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    if (!std::isfinite(det) || std::fabs(det) < 1e-12) return false;
    // The inverse's columns by cofactors; eye = -t x R^-1.
    const double inv[3][3] = {{(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det},
                              {(f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det},
                              {(d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det}};
    for (int j = 0; j < 3; ++j) {
        const double p = -(v.m[3][0] * inv[0][j] + v.m[3][1] * inv[1][j] + v.m[3][2] * inv[2][j]);
        if (!std::isfinite(p)) return false;
        eye[j] = static_cast<float>(p);
    }
    return true;
}

bool Meets(const std::vector<std::pair<float, float>>& pieces, float lo, float hi) {
    for (const auto& p : pieces)
        if (lo <= p.second && hi >= p.first) return true;
    return false;
}

} // namespace

void engLevel::RenderGrid(const D3DXVECTOR3& direction, const FaceVisitor& draw) {
    if (faces_[0].empty()) return;
    const auto loops = GridDrawOrder(direction, sizeX_, sizeY_, sizeZ_);
    int32_t c[3] = {0, 0, 0};

    // Faces of system tiles whose drawing can be bounded are skipped outside
    // the view. Those that draw one opaque model are drawn together, a batch
    // for each model, state and pose, before every other face, where that
    // cannot change a pixel. A face may go ahead of a face the grid visited
    // before it (and that is not in its own batch) when a plane across one
    // axis separates their boxes: they then share no point, so no pixel
    // where both are as near can depend on their order. Ahead of a blended
    // or other face the plane must also have the eye on the new face's
    // side, so that the new face is the nearer wherever the two overlap and
    // the depth test gives the same pixels. Any other face draws in its
    // back-to-front place.
    // A tile face's draw sets all the device state it draws with, so a
    // skipped or batched face only matters to what draws next that is not
    // such a face: the last one skipped is drawn again before that, and at
    // the end, so the device is left as if every face had drawn in turn (a
    // batched one without writing a pixel, since it is already drawn).
    ViewVolume volume;
    float eye[3] = {0, 0, 0};
    bool eyeKnown = false;   // without it, nothing goes ahead of a blended face
    IDirect3DDevice8* device = engine_.gfx ? engine_.gfx->Device() : nullptr;
    D3DMATRIX view, projection;
    if (!draw && device) {
        if (SUCCEEDED(device->GetTransform(D3DTS_VIEW, &view)) &&
            SUCCEEDED(device->GetTransform(D3DTS_PROJECTION, &projection))) {
            volume = ViewVolume(view, projection);
            eyeKnown = EyeOf(view, eye);
        }
    }
    struct Tile {
        LevelObject* object = nullptr;
        bool bounded[3] = {false, false, false};
        FaceBound bound[3];
        int32_t batch[3] = {-1, -1, -1};
    };
    constexpr int32_t kCachedTiles = kGridTileCodes;
    std::array<Tile, kCachedTiles> tiles;
    std::array<bool, kCachedTiles> looked{};
    size_t batchesUsed = 0;
    gridFaces_.clear();
    for (auto& pieces : gridOpaqueInPlace_) pieces.clear();
    for (auto& pieces : gridOthersInPlace_) pieces.clear();
    auto drawnAnywhere = [&] {
        for (auto& pieces : gridOthersInPlace_) pieces.assign(1, {-INFINITY, INFINITY});
    };
    struct Skipped {
        LevelObject* object = nullptr;
        int32_t x = 0, y = 0, z = 0;
        int16_t orientation = 0;
        bool batched = false;
    } skipped;
    auto drawSkipped = [&] {
        if (!skipped.object) return;
        gridFaces_.push_back({skipped.object, skipped.x, skipped.y, skipped.z, skipped.orientation, skipped.batched});
        skipped.object = nullptr;
    };
    auto lookUp = [&](int32_t reference) -> Tile& {
        const auto code = static_cast<size_t>(-reference);
        Tile& tile = tiles[code];
        if (looked[code]) return tile;
        looked[code] = true;
        tile.object = ResolveObject(reference);
        if (!tile.object) return tile;
        for (int16_t o = 0; o < 3; ++o) {
            tile.bounded[o] = tile.object->RenderBound(o, tile.bound[o]);
            FaceBatch face;
            if (!tile.bounded[o] || tile.bound[o].hx < 0 || !tile.object->RenderBatch(o, face) || !face.model) continue;
            if (batchesUsed == gridBatches_.size()) gridBatches_.emplace_back();
            GridBatch& batch = gridBatches_[batchesUsed];
            batch.model = face.model;
            batch.state = face.state;
            batch.pose = ModelPoseMatrix(face.model->renderMode, face.yaw, face.pitch, face.roll, face.sx, face.sy,
                                         face.sz);
            batch.dx = face.dx;
            batch.dy = face.dy;
            batch.dz = face.dz;
            batch.worlds.clear();
            for (auto& pieces : batch.extents) pieces.clear();
            tile.batch[o] = static_cast<int32_t>(batchesUsed++);
        }
        return tile;
    };

    // How far from its cell's corner any bounded tile face reaches, so that a
    // whole row of cells well inside the view needs no test face by face;
    // and the box every boxed tile face lies in, from its cell's corner, so
    // that a whole row hidden behind a solid layer needs none either.
    double reach = 0;
    float rowLo[3] = {INFINITY, INFINITY, INFINITY}, rowHi[3] = {-INFINITY, -INFINITY, -INFINITY};
    const bool large = int64_t{sizeX_} * sizeY_ * sizeZ_ > 4096;
    if (volume.valid() && large)
        for (int32_t code = 1; code < kCachedTiles; ++code) {
            LevelObject* object = ResolveObject(-code);
            FaceBound b;
            for (int16_t o = 0; object && o < 3; ++o)
                if (object->RenderBound(o, b)) {
                    reach = std::max(reach, double{std::max({std::fabs(b.dx), std::fabs(b.dy), std::fabs(b.dz)})} +
                                                b.radius);
                    if (b.hx < 0) continue;
                    const float centre[3] = {b.bx, b.by, b.bz}, half[3] = {b.hx, b.hy, b.hz};
                    for (int a = 0; a < 3; ++a) {
                        rowLo[a] = std::min(rowLo[a], centre[a] - half[a]);
                        rowHi[a] = std::max(rowHi[a], centre[a] + half[a]);
                    }
                }
        }
    bool rowInside = false;
    // Solid layers between the eye and the faces beyond them (see
    // GridOcclusion); only large grids have enough to pay for the search.
    const bool occluding = hideBehindSolids && large && eyeKnown && volume.valid() && FindOccluders(*device, eye, view, projection);
    // Along the row, the cells below `hiddenBelow` and above `hiddenAbove`
    // are hidden as a whole (one test each end instead of one a face); the
    // counts found for a row are tried first on the next, its neighbour.
    int32_t hiddenBelow = 0, hiddenAbove = INT32_MAX;
    int32_t guessBelow = 0, guessAbove = 0;
    gridHidden_ = 0;

    auto visit = [&](int32_t reference, int16_t orientation) {
        if (reference == 0) return;
        if (draw) {
            draw(reference, c[0], c[1], c[2], orientation);
            return;
        }
        if (volume.valid() && reference < 0 && reference > -kCachedTiles) {
            Tile& tile = lookUp(reference);
            if (!tile.object) return;
            if (tile.bounded[orientation]) {
                const FaceBound& b = tile.bound[orientation];
                const float fx = 1.5f * static_cast<float>(c[0]), fy = 1.5f * static_cast<float>(c[1]),
                            fz = 1.5f * static_cast<float>(c[2]);
                const float centre[3] = {fx + b.bx, fy + b.by, fz + b.bz}, half[3] = {b.hx, b.hy, b.hz};
                auto hide = [&] {
                    // Hidden whatever the order: it draws no pixel.
                    ++gridHidden_;
                    tile.object->RenderCulled(c[0], c[1], c[2], orientation);
                    skipped = {tile.object, c[0], c[1], c[2], orientation, true};
                };
                const int32_t along = c[loops[2].axis];
                const bool boxed = occluding && half[0] >= 0;
                if (boxed && (along < hiddenBelow || along > hiddenAbove)) return hide();
                if (!rowInside && volume.Outside(fx + b.dx, fy + b.dy, fz + b.dz, b.radius)) {
                    tile.object->RenderCulled(c[0], c[1], c[2], orientation);
                    skipped = {tile.object, c[0], c[1], c[2], orientation, false};
                    return;
                }
                if (boxed) {
                    const float lo[3] = {centre[0] - half[0], centre[1] - half[1], centre[2] - half[2]};
                    const float hi[3] = {centre[0] + half[0], centre[1] + half[1], centre[2] + half[2]};
                    if (gridOcclusion_.Hides(lo, hi)) return hide();
                }
                if (tile.batch[orientation] >= 0) {
                    const auto k = static_cast<size_t>(tile.batch[orientation]);
                    bool ahead = false;
                    for (size_t a = 0; a < 3 && !ahead; ++a) {
                        const float lo = centre[a] - half[a], hi = centre[a] + half[a];
                        ahead = (gridOthersInPlace_[a].empty() ||
                                 (eyeKnown && !Meets(gridOthersInPlace_[a], std::min(lo, eye[a]), std::max(hi, eye[a])))) &&
                                !Meets(gridOpaqueInPlace_[a], lo, hi);
                        for (size_t j = 0; j < batchesUsed && ahead; ++j)
                            if (j != k) ahead = !Meets(gridBatches_[j].extents[a], lo, hi);
                    }
                    if (ahead) {
                        GridBatch& batch = gridBatches_[k];
                        batch.worlds.push_back(
                            ModelTranslated(batch.pose, fx + batch.dx, fy + batch.dy, fz + batch.dz));
                        for (size_t a = 0; a < 3; ++a)
                            AddExtent(batch.extents[a], centre[a] - half[a], centre[a] + half[a]);
                        tile.object->RenderCulled(c[0], c[1], c[2], orientation);
                        skipped = {tile.object, c[0], c[1], c[2], orientation, true};
                        return;
                    }
                    for (size_t a = 0; a < 3; ++a)
                        AddExtent(gridOpaqueInPlace_[a], centre[a] - half[a], centre[a] + half[a]);
                } else if (half[0] >= 0) {
                    for (size_t a = 0; a < 3; ++a)
                        AddExtent(gridOthersInPlace_[a], centre[a] - half[a], centre[a] + half[a]);
                } else {
                    drawnAnywhere();
                }
                skipped.object = nullptr;
                gridFaces_.push_back({tile.object, c[0], c[1], c[2], orientation, false});
                return;
            }
        }
        drawSkipped();
        drawnAnywhere();
        if (LevelObject* object = ResolveObject(reference))
            gridFaces_.push_back({object, c[0], c[1], c[2], orientation, false});
    };
    const GridLoop& l0 = loops[0];
    const GridLoop& l1 = loops[1];
    const GridLoop& l2 = loops[2];
    for (c[l0.axis] = l0.from;; c[l0.axis] += l0.step) {
        for (c[l1.axis] = l1.from;; c[l1.axis] += l1.step) {
            if (volume.valid() && large && std::isfinite(reach)) {
                double lo[3], hi[3];
                for (int a = 0; a < 3; ++a) {
                    const bool along = a == l2.axis;
                    const double first = 1.5 * (along ? std::min(l2.from, l2.to) : c[a]);
                    const double last = 1.5 * (along ? std::max(l2.from, l2.to) : c[a]);
                    lo[a] = first - reach;
                    hi[a] = last + reach;
                }
                rowInside = volume.Inside(lo, hi);
            }
            if (occluding && rowLo[0] <= rowHi[0]) {
                const int a = l2.axis;
                const int32_t last = std::max(l2.from, l2.to);
                // Whether cells first..end along the row are hidden, all of them.
                auto hidden = [&](int32_t first, int32_t end) {
                    if (first > end) return true;
                    float lo[3], hi[3];
                    for (int i = 0; i < 3; ++i) {
                        lo[i] = 1.5f * static_cast<float>(i == a ? first : c[i]) + rowLo[i];
                        hi[i] = 1.5f * static_cast<float>(i == a ? end : c[i]) + rowHi[i];
                    }
                    return gridOcclusion_.Hides(lo, hi);
                };
                // The longest run hidden from each end, 0 to last + 1 cells:
                // any part of a hidden run is hidden, so a search finds it.
                // The neighbouring row's count is mostly right, and two
                // tests then settle it.
                auto longest = [&](int32_t guess, auto&& run) {
                    int32_t good = 0, bad = last + 2;   // run(good) holds; bad is past every answer
                    guess = std::clamp(guess, 0, last + 1);
                    if (!run(guess)) {
                        bad = guess;
                    } else {
                        good = guess;
                        if (guess + 1 < bad && !run(guess + 1)) return good;
                        good = std::min(guess + 1, last + 1);
                    }
                    while (bad - good > 1) {
                        const int32_t mid = good + (bad - good) / 2;
                        (run(mid) ? good : bad) = mid;
                    }
                    return good;
                };
                const int32_t below = longest(guessBelow, [&](int32_t n) { return hidden(0, n - 1); });
                hiddenBelow = below;
                guessBelow = below;
                const int32_t above = below > last ? 0 : longest(guessAbove, [&](int32_t n) { return hidden(last - n + 1, last); });
                hiddenAbove = last - above;
                guessAbove = above;
            }
            for (c[l2.axis] = l2.from;; c[l2.axis] += l2.step) {
                const int64_t x = c[0], y = c[1], z = c[2];
                if (y < sizeY_ && x < sizeX_) visit(faces_[kFaceZ][static_cast<size_t>(z * layerXY_ + y * sizeX_ + x)], kFaceZ);
                if (z < sizeZ_ && y < sizeY_) visit(faces_[kFaceX][static_cast<size_t>(x * layerYZ_ + z * sizeY_ + y)], kFaceX);
                if (x < sizeX_ && z < sizeZ_) visit(faces_[kFaceY][static_cast<size_t>(y * layerXZ_ + z * sizeX_ + x)], kFaceY);
                if (c[l2.axis] == l2.to) break;
            }
            if (c[l1.axis] == l1.to) break;
        }
        if (c[l0.axis] == l0.to) break;
    }
    drawSkipped();

    for (size_t i = 0; i < batchesUsed; ++i) {
        GridBatch& batch = gridBatches_[i];
        if (!batch.worlds.empty())
            batch.model->DisplayMeshInstances(engine_, batch.state, batch.worlds.data(),
                                              static_cast<uint32_t>(batch.worlds.size()));
        batch.worlds.clear();
    }
    for (const GridFace& face : gridFaces_) {
        if (!face.unseen || !device) {
            face.object->Render(face.x, face.y, face.z, face.orientation);
            continue;
        }
        DWORD colour = 0xF, depth = 1;
        device->GetRenderState(D3DRS_COLORWRITEENABLE, &colour);
        device->GetRenderState(D3DRS_ZWRITEENABLE, &depth);
        device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
        device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
        face.object->Render(face.x, face.y, face.z, face.orientation);
        device->SetRenderState(D3DRS_COLORWRITEENABLE, colour);
        device->SetRenderState(D3DRS_ZWRITEENABLE, depth);
    }
    gridFaces_.clear();
}

} // namespace rdv
