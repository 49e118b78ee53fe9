#include "platform/d3d/GLFuncs.h"

#include <SDL.h>

namespace rdv {

bool GLFuncs::Load(const char** missing) {
#define RDV_GL_LOAD(type, name)                                                         \
    name = reinterpret_cast<type>(SDL_GL_GetProcAddress("gl" #name));                    \
    if (!name) {                                                                         \
        if (missing) *missing = "gl" #name;                                              \
        return false;                                                                    \
    }
    RDV_GL_FUNCS(RDV_GL_LOAD)
#undef RDV_GL_LOAD
#define RDV_GL_LOAD_OPT(type, name) name = reinterpret_cast<type>(SDL_GL_GetProcAddress("gl" #name));
    RDV_GL_OPTIONAL_FUNCS(RDV_GL_LOAD_OPT)
#undef RDV_GL_LOAD_OPT
    return true;
}

} // namespace rdv
