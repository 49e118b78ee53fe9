#pragma once
// The Direct3D 8 stand-in on OpenGL.
#include <memory>

namespace rdv {
class IDirect3D8;
std::shared_ptr<IDirect3D8> CreateGLDirect3D8();
}
