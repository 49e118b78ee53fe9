#include "platform/d3d/Factory.h"

#include "platform/d3d/GLInternal.h"

namespace rdv {

std::shared_ptr<IDirect3D8> CreateGLDirect3D8() { return std::make_shared<GLDirect3D8>(); }

} // namespace rdv
