#pragma once
// The DirectInput 8 stand-in on SDL2: keyboard and mouse from SDL events,
// exclusive mouse capture as SDL relative mouse mode.
#include <memory>

namespace rdv {
class IDirectInput8;
std::shared_ptr<IDirectInput8> CreateSDLDirectInput8();
}
