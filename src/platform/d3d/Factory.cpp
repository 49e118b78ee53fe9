#include "platform/d3d/Factory.h"
// Replaced by the OpenGL device.
namespace rdv {
std::shared_ptr<IDirect3D8> CreateGLDirect3D8() { return nullptr; }
}
