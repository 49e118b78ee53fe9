#pragma once
// Where a model is solid: what a grid of tiles may treat as hiding whatever
// lies behind it, without drawing anything to find out.
#include <cstdint>

#include "graphics/ModelData.h"

namespace rdv {

// A box inside the solid that the drawn triangles of `state` enclose (every
// sequence when `grouped` is false, those of group `state` otherwise), as
// wide as those triangles' box along the two axes other than `axis`, and as
// deep along `axis` as the solid allows there. Only a closed surface (every
// edge shared by exactly two triangles, in opposite directions) that is
// convex with its triangles wound to face outwards has one: then a ray from
// outside that passes through the box has entered the surface through a
// triangle facing it. Blended sequences, degenerate data or an empty box:
// false.
bool SolidBoxOf(const ModelData& model, bool grouped, int32_t state, int axis, float min[3], float max[3]);

} // namespace rdv
