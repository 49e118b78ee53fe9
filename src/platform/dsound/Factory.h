#pragma once
// The DirectSound 8 stand-in on SDL2 audio.
#include <memory>

namespace rdv {
class IDirectSound8;
std::shared_ptr<IDirectSound8> CreateSDLDirectSound8();
}
