#include "platform/dinput/Factory.h"
// Replaced by the SDL input devices.
namespace rdv {
std::shared_ptr<IDirectInput8> CreateSDLDirectInput8() { return nullptr; }
}
