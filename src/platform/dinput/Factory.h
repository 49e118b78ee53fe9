#pragma once
// The DirectInput 8 stand-in on SDL2.
#include <memory>

namespace rdv {
class IDirectInput8;
std::shared_ptr<IDirectInput8> CreateSDLDirectInput8();
}
