#include "graphics/ModelXLibrary.h"

#include <dlfcn.h>

#include <mutex>

namespace rdv {

namespace {

#ifndef RDV_ASSIMP_SONAME
#define RDV_ASSIMP_SONAME "libassimp.so.5"
#endif

struct Library {
    std::mutex lock;
    std::string name = RDV_ASSIMP_SONAME;
    AssimpApi api;
    bool open = false;
};

Library& State() {
    static Library library;
    return library;
}

template <typename F>
bool Find(void* handle, const char* symbol, F& out, std::string& why) {
    out = reinterpret_cast<F>(dlsym(handle, symbol));
    if (!out) why = "no " + std::string(symbol) + " in it";
    return out != nullptr;
}

} // namespace

const AssimpApi* OpenAssimp(std::string& why) {
    Library& l = State();
    std::lock_guard<std::mutex> guard(l.lock);
    if (l.open) return &l.api;
    // Never closed: Assimp keeps static state (its logger, importer
    // registry) whose teardown at an arbitrary dlclose is not worth the
    // risk for a few megabytes held by a game that loaded an .x model.
    void* handle = dlopen(l.name.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!handle) {
        const char* error = dlerror();
        why = error ? error : l.name + ": cannot be opened";
        return nullptr;
    }
    AssimpApi api;
    if (!Find(handle, "aiImportFileFromMemory", api.importFileFromMemory, why) ||
        !Find(handle, "aiReleaseImport", api.releaseImport, why) ||
        !Find(handle, "aiGetErrorString", api.getErrorString, why) ||
        !Find(handle, "aiGetMaterialColor", api.getMaterialColor, why) ||
        !Find(handle, "aiGetMaterialFloatArray", api.getMaterialFloatArray, why) ||
        !Find(handle, "aiGetMaterialTexture", api.getMaterialTexture, why)) {
        why = l.name + ": " + why;
        dlclose(handle);
        return nullptr;
    }
    l.api = api;
    l.open = true;
    return &l.api;
}

std::string AssimpLibraryName() {
    Library& l = State();
    std::lock_guard<std::mutex> guard(l.lock);
    return l.name;
}

void SetAssimpLibraryName(const std::string& name) {
    Library& l = State();
    std::lock_guard<std::mutex> guard(l.lock);
    l.name = name;
    l.open = false;
    l.api = AssimpApi{};
}

} // namespace rdv
