#include <dlfcn.h>

#include "sound/Sound.h"

namespace rdv {

sndDLL::~sndDLL() { Unload(); }

namespace {

template <class Fn>
bool Resolve(void* handle, const char* name, Fn& fn, std::string& error) {
    fn = reinterpret_cast<Fn>(dlsym(handle, name));
    if (!fn) error = std::string("the plug-in has no function ") + name;
    return fn != nullptr;
}

} // namespace

bool sndDLL::Load(const std::filesystem::path& file, std::string& error) {
    Unload();
    // Local binding: the plug-in's "close" and "init" must not stand in for
    // anyone else's.
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        error = why ? why : "dlopen failed";
        return false;
    }
    if (Resolve(handle_, "init", init, error) && Resolve(handle_, "close", close, error) &&
        Resolve(handle_, "loadmusic", loadmusic, error) && Resolve(handle_, "freemusic", freemusic, error) &&
        Resolve(handle_, "renderaudio", renderaudio, error) && Resolve(handle_, "setfrequency", setfrequency, error))
        return true;
    Unload();
    return false;
}

void sndDLL::Unload() {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
    init = nullptr;
    close = nullptr;
    loadmusic = nullptr;
    freemusic = nullptr;
    renderaudio = nullptr;
    setfrequency = nullptr;
}

} // namespace rdv
