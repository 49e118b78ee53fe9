// The graphics core's frame, and recovery from a lost device.
#include "graphics/Core.h"

#include <cstdio>
#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "core/Engine.h"
#include "core/Error.h"
#include "core/ErrorText.h"
#include "graphics/LightMap.h"
#include "graphics/Model.h"
#include "graphics/Shader.h"
#include "platform/FileSearch.h"
#include "platform/d3dx/D3DX8Tex.h"

namespace rdv {

namespace {

std::string Hex(HRESULT hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", static_cast<uint32_t>(hr));
    return buf;
}

} // namespace

// ------------------------------------------------------------------ frame
void gfxCore::BeginFrame() {
    IDirect3DDevice8* dev = device.get();
    if (!dev) return;
    if (loadedSinceFrame_) {
        // Decoding images and models leaves large freed blocks inside the
        // heap, which the allocator keeps for the process unless asked:
        // give them back once loading is over, not at every load.
        loadedSinceFrame_ = false;
#if defined(__GLIBC__)
        malloc_trim(0);
#endif
    }
    dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER | (clearTarget == 1 ? D3DCLEAR_TARGET : 0), clearColour, 1.0f, 0);
    dev->BeginScene();
    if (levelFog && engine_.settings.fog) dev->SetRenderState(D3DRS_FOGENABLE, 1);
}

void gfxCore::Display() {
    IDirect3DDevice8* dev = device.get();
    if (!dev) return;
    dev->EndScene();
    HRESULT hr = dev->TestCooperativeLevel();
    if (hr == D3D_OK) {
        dev->Present(nullptr, nullptr, nullptr, nullptr);
        return;
    }
    if (hr == D3DERR_DEVICELOST) return;   // asked again next frame
    if (hr == D3DERR_DEVICENOTRESET) {
        Recover();
        return;
    }
    RaiseError(ErrDevice, "Engine->MainLoop->Display", "Unknown device error: " + Hex(hr));
}

void gfxCore::Recover() {
    for (auto& t : textures.objects) t.reset();
    for (auto& m : models.objects) {
        if (m) m->Release();
        m.reset();
    }
    loadedSinceFrame_ = true;
    HRESULT hr = device->Reset(&presentParams);
    if (FAILED(hr)) {
        // Lost again before the reset went through: the next frame asks the
        // device again and recovers then.
        engine_.log.Write("WARNING: Device reset failed: " + ErrorText(hr), 4);
        return;
    }
    CheckDevice();
    // The reset took the level's lights off the device.
    if (engine_.lightMap) engine_.lightMap->Invalidate();
    for (int32_t i = 0; i <= textures.Highest(); ++i) {
        // A parked texture is read again when it is next drawn.
        if (textures.counts[i] <= 0 || Parked(i)) continue;
        std::vector<std::filesystem::path> found =
            FindStemMatches(ResolveNoCase(engine_.programFolder, "textures"), textures.names[i]);
        if (found.empty()) continue;
        std::shared_ptr<IDirect3DTexture8> tex;
        std::string why;
        if (SUCCEEDED(D3DXCreateTextureFromFile(device.get(), found.front(), tex, &why)))
            textures.objects[i] = std::move(tex);
        else
            engine_.log.Write("WARNING: Couldn't reload texture: " + why, 4);
    }
    for (int32_t i = 0; i <= models.Highest(); ++i) {
        if (models.counts[i] <= 0) continue;
        models.objects[i] = makeModel();
        try {
            models.objects[i]->LoadModel(engine_, models.names[i]);
        } catch (const EngineError& e) {
            // It keeps its entry and draws nothing, as after a failed first load.
            engine_.log.Write("WARNING: Couldn't reload model " + models.names[i] + ": " + e.description, 5);
        }
    }
}

} // namespace rdv
