// The editor's draw cursor "drawcursor": a bright frame lying just above the
// face it paints (the cell's -z face, 0.75 below the centre) and an arrow
// from the cell centre down to that face, so the painted face reads at a
// glance whichever way the cursor is turned. Every surface is two-sided so
// the cursor shows from inside a closed room as well as from outside.
#include <string>

#include "ContentGen.h"

namespace rdv::contentgen {

namespace {

using V = TcmWriter::Vertex;

constexpr uint32_t kFrame = 0xFFFFE020u;   // yellow
constexpr uint32_t kArrow = 0xFFFF30C0u;   // magenta
constexpr float kFace = -0.70f;            // above the floor tile's surface
constexpr float kOuter = 0.74f;
constexpr float kInner = 0.60f;

void TwoSided(TcmWriter& w, const V& a, const V& b, const V& c, const V& d) {
    w.Quad(a, b, c, d);
    w.Quad(d, c, b, a);
}

void Bar(TcmWriter& w, float x0, float y0, float x1, float y1) {
    TwoSided(w, {x0, y0, kFace, kFrame}, {x0, y1, kFace, kFrame}, {x1, y1, kFace, kFrame},
             {x1, y0, kFace, kFrame});
}

} // namespace

void GenDrawCursor(Output& out) {
    TcmWriter w(1);
    // The frame round the painted face.
    Bar(w, -kOuter, -kOuter, kOuter, -kInner);
    Bar(w, -kOuter, kInner, kOuter, kOuter);
    Bar(w, -kOuter, -kInner, -kInner, kInner);
    Bar(w, kInner, -kInner, kOuter, kInner);
    // The arrow: a thin cross-shaped shaft from the centre, then a pyramid
    // whose tip touches the face.
    const float s = 0.06f, headTop = -0.30f, head = 0.25f;
    TwoSided(w, {-s, 0, 0, kArrow}, {s, 0, 0, kArrow}, {s, 0, headTop, kArrow}, {-s, 0, headTop, kArrow});
    TwoSided(w, {0, -s, 0, kArrow}, {0, s, 0, kArrow}, {0, s, headTop, kArrow}, {0, -s, headTop, kArrow});
    const V tip{0, 0, kFace, kArrow};
    const V corners[4] = {{-head, -head, headTop, kArrow}, {head, -head, headTop, kArrow},
                          {head, head, headTop, kArrow}, {-head, head, headTop, kArrow}};
    for (int i = 0; i < 4; ++i) TwoSided(w, corners[i], corners[(i + 1) % 4], tip, tip);
    TwoSided(w, corners[0], corners[1], corners[2], corners[3]);
    out.WriteText("models", "drawcursor.tcm", w.Text());
}

} // namespace rdv::contentgen
