#pragma once
// Solid layers of a grid that hide from the eye whatever lies beyond them.
// A grid of 64 x 64 x 16 painted cells puts sixteen floors over each other;
// from between two of them the eye sees one floor and one ceiling, and the
// faces beyond those are drawn only to be drawn over.
//
// A slab is a box filled by the solid boxes of adjacent cells of one layer
// (see gfxModel::SolidBox). A face is hidden when every ray from the eye to
// its box passes through a slab's box: each such ray has then entered some
// cell's closed, convex, opaque surface through a triangle facing the eye,
// nearer than the face by at least the slab's depth, so the face cannot win
// a pixel, whatever the order it would be drawn in.
#include <cstdint>
#include <vector>

#include "platform/d3d/D3D8.h"

namespace rdv {

// The determinant of a matrix's 3 x 3 part (rows as D3D keeps them):
// below zero the matrix mirrors, and triangles facing out face in.
double TurnDeterminant(const float (&m)[4][4]);

struct SolidSlab {
    int axis = 2;             // across the layer
    float lo[3] = {0, 0, 0};  // the box the cells' solids fill
    float hi[3] = {0, 0, 0};
    // Along `axis`: where the cells' drawing reaches (beyond the solid box).
    float drawLo = 0, drawHi = 0;
};

class GridOcclusion {
public:
    // Layers are fed a row at a time: the solid cells of a row in order of
    // `column` along the row's axis `(axis + 1) % 3`, rows along
    // `(axis + 2) % 3` in order too.
    void Clear();
    void BeginLayer(int axis);
    void AddCell(int32_t column, const float lo[3], const float hi[3], float drawLo, float drawHi);
    void EndRow();
    void EndLayer();
    const std::vector<SolidSlab>& slabs() const { return slabs_; }

    // The eye, the view (for depth) and the projection's near distance, for
    // the frame's Hides. False, and nothing hidden, when the projection is
    // not a perspective one with the eye in front of its near plane.
    bool SetView(const float eye[3], const D3DMATRIX& view, const D3DMATRIX& projection);
    // Whether the box [lo, hi] is hidden by a slab from the eye.
    bool Hides(const float lo[3], const float hi[3]) const;

    // Slabs thinner than this are not trusted to win the depth test.
    static constexpr float kThinnest = 0.02f;
    // A slab is kept when it fills at least this many cells; at most
    // kMostSlabs of the largest are kept.
    static constexpr int32_t kFewestCells = 4;
    static constexpr size_t kMostSlabs = 64;

private:
    struct Run {
        int32_t first = 0, last = -1;   // columns
        SolidSlab slab;
        int32_t cells = 0;
        bool continued = false;
    };
    void CloseRun();
    void Keep(const Run& run);

    int axis_ = 2;
    Run run_;
    std::vector<Run> rows_, open_, next_;
    std::vector<SolidSlab> slabs_;
    std::vector<std::pair<int32_t, SolidSlab>> kept_;   // cells, slab

    // The frame's view: for each slab with the eye outside its depth, the
    // space it hides as half-spaces a.p + d >= 0 (> 0 for the last, the
    // near plane's): the rays to p crossing both of the slab's faces within
    // its sides, and meeting the layer's drawing past the near plane; and
    // the slab's far face, that p must lie beyond.
    struct Facing {
        int axis;
        bool eyeAbove;   // the eye beyond hi along the axis
        double farSide;
        double plane[9][4];
    };
    std::vector<Facing> facing_;
    // The first test of each, kept small and together.
    struct Beyond {
        int axis;
        bool eyeAbove;
        float farSide;
    };
    std::vector<Beyond> beyond_;
    mutable size_t lastHiding_ = 0;   // neighbouring faces hide behind the same slab
    double near_ = 0;
};

} // namespace rdv
