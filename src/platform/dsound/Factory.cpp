#include "platform/dsound/Factory.h"
// Replaced by the SDL audio device.
namespace rdv {
std::shared_ptr<IDirectSound8> CreateSDLDirectSound8() { return nullptr; }
}
