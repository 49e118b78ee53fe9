#include "headless/ModelSnapshot.h"

#include <SDL.h>

#include <cstdio>

#include "core/Engine.h"
#include "graphics/Core.h"
#include "graphics/LightMap.h"
#include "graphics/Model.h"
#include "platform/HeadlessHost.h"
#include "platform/SDLHost.h"
#include "platform/d3d/Factory.h"
#include "platform/d3d/GLDevice.h"
#include "platform/d3d/StateCache.h"

namespace rdv {

ModelSnapshot::ModelSnapshot(Engine& engine, int width, int height) : engine_(engine), width_(width), height_(height) {
    if (width <= 0 || height <= 0) {
        error_ = "size must be positive";
        return;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error_ = std::string("SDL video: ") + SDL_GetError();
        return;
    }
    // The adapter probes GL with a window of its own first.
    gfxCore& gfx = Graphics(engine);
    gfx.d3d = CreateGLDirect3D8();
    // The buffers the game's host window asks for, so that the device can
    // draw straight into the window as it does in the game.
    RequestGameWindowBuffers();
    window_ = SDL_CreateWindow("rondovar-snapshot", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                               SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window_) {
        error_ = std::string("SDL window: ") + SDL_GetError();
        return;
    }
    engine.hostWindowHandle = window_;
    if (!engine.platform.host) engine.platform.host = std::make_shared<HeadlessHost>();

    Settings& s = engine.settings;
    s.width = width;
    s.height = height;
    s.windowed = true;
    s.colour32 = true;
    s.deviceKind = 1;
    s.lighting = true;
    s.textureTransforms = true;
    s.pixelShaders = true;
    s.vertexShaders = true;
    s.anisotropy = 1;
    s.multisample = 0;

    D3DPRESENT_PARAMETERS pp;
    pp.BackBufferWidth = static_cast<UINT>(width);
    pp.BackBufferHeight = static_cast<UINT>(height);
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_COPY;
    pp.hDeviceWindow = window_;
    pp.Windowed = 1;
    pp.EnableAutoDepthStencil = 1;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    std::shared_ptr<IDirect3DDevice8> device;
    HRESULT hr = gfx.d3d ? gfx.d3d->CreateDevice(0, D3DDEVTYPE_HAL, window_, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                                                 device)
                         : E_FAIL;
    if (FAILED(hr) || !device) {
        D3DADAPTER_IDENTIFIER8 id;
        if (gfx.d3d) gfx.d3d->GetAdapterIdentifier(0, 0, &id);
        char code[16];
        std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(hr));
        error_ = std::string("could not create the OpenGL device (") + code + ", " + id.Description + ")";
        return;
    }
    gfx.presentParams = pp;
    gfx.device = WithStateCache(device);
    gfx.device->GetDeviceCaps(&gfx.caps);
    gfx.ResetResourceTables();
    gfx.CheckDevice();
    engine.lightMap = std::make_shared<gfxLightMap>();
}

ModelSnapshot::~ModelSnapshot() {
    if (engine_.gfx) engine_.gfx->ShutdownGraphics();
    engine_.lightMap.reset();
    engine_.hostWindowHandle = nullptr;
    if (window_) SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void ModelSnapshot::Begin(const D3DXVECTOR3& eye, const D3DXVECTOR3& at, const D3DXVECTOR3& up) {
    if (!ok()) return;
    gfxCore& gfx = Graphics(engine_);
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    gfx.device->SetTransform(D3DTS_VIEW, &view);
    gfx.BeginFrame();
}

bool ModelSnapshot::Finish(std::vector<uint8_t>& rgba) {
    if (!ok()) return false;
    gfxCore& gfx = Graphics(engine_);
    gfx.device->EndScene();
    UINT w = 0, h = 0;
    return ReadBackBuffer(*gfx.device, rgba, w, h) && static_cast<int>(w) == width_ && static_cast<int>(h) == height_;
}

bool ModelSnapshot::Save(const std::string& pngPath) {
    std::vector<uint8_t> rgba;
    if (!Finish(rgba)) return false;
    return WritePng(pngPath, rgba, static_cast<UINT>(width_), static_cast<UINT>(height_));
}

void ModelSnapshot::DrawModel(const std::string& name, int32_t state, float phase, float x, float y, float z, float yaw,
                              float pitch, float roll, float scale) {
    if (!ok()) return;
    gfxCore& gfx = Graphics(engine_);
    int32_t index = gfx.GetModel(name);
    if (gfxModel* m = gfx.Model(index)) m->DisplayMesh(engine_, state, phase, x, y, z, yaw, pitch, roll, scale, scale, scale);
}

} // namespace rdv
