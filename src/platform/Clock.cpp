#include "platform/Clock.h"

#include <SDL.h>

namespace rdv {

uint32_t SystemClock::GetTickCount() {
    // SDL_GetTicks64 counts from SDL's start; truncation keeps the 32-bit wrap.
    return static_cast<uint32_t>(SDL_GetTicks64());
}

} // namespace rdv
