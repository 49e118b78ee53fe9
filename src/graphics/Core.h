#pragma once
// gfxCore (engine.gfx): the Direct3D device and its set-up, the frame with
// device-loss recovery, and the three shared resource tables (textures,
// models, shaders) through which everything else gets graphics resources.
//
// Indexes into the tables are the handles the rest of the engine keeps;
// entry 0 of every table is reserved, so 0 always means "none". An index
// stays valid across a device reset: the entry is reloaded in place.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3d/D3D8.h"

namespace rdv {

class Engine;
class gfxLightMap;
class gfxModel;
class gfxShaderObj;

struct gfxResolution {
    int32_t width = 0;
    int32_t height = 0;
};

// One resource table: parallel arrays indexed 0..Highest(). Entry 0 has the
// name " " so it never matches; an entry with an empty name is free.
template <class T>
struct gfxResourceTable {
    std::vector<std::shared_ptr<T>> objects{1};
    std::vector<std::string> names{" "};
    std::vector<int32_t> counts{0};

    int32_t Highest() const { return static_cast<int32_t>(names.size()) - 1; }
    bool Valid(int32_t index) const { return index >= 0 && index <= Highest(); }
    T* Get(int32_t index) const { return Valid(index) && index < int32_t(objects.size()) ? objects[index].get() : nullptr; }
};

// What the device can do, read by the options menu to offer only that.
struct gfxCapabilityFlags {
    bool lighting = false;
    bool specular = false;
    bool localViewer = false;
    bool fog = false;
    bool gammaRamps = false;
    bool multipass = false;
    bool pixelShaders = false;
    bool vertexShaders = false;
    bool textureTransforms = false;
    uint32_t maxAnisotropy = 0;
};

class gfxCore {
public:
    explicit gfxCore(Engine& engine);
    ~gfxCore();
    gfxCore(const gfxCore&) = delete;
    gfxCore& operator=(const gfxCore&) = delete;

    // ---- start-up (InitGraphics runs the steps in this order)
    void InitGraphics();
    void EnumerateResolutions();
    void GetDesktopMode();
    void CheckDeviceCompatibility();
    void CreateDevice();
    // Highest multisample count that passes (0: none).
    int32_t FindMaxMultiSample(UINT adapter, D3DDEVTYPE type, D3DFORMAT format, BOOL windowed);
    // Capability report and default state; again after every reset.
    void CheckDevice();

    // ---- frame
    void BeginFrame();
    // Ends the scene and presents it; handles lost and not-reset devices.
    void Display();

    // ---- resource tables
    // Index of the model of that name (any letter case), loaded on first request.
    int32_t GetModel(const std::string& name);
    void ReleaseModel(int32_t) {}   // models live until the tables are reset
    // Index of the texture "textures/<name>.*". Raises 1002 when no file matches.
    int32_t LoadTexture(const std::string& name);
    int32_t GetShader(const std::string& name);
    void ResetResourceTables();
    void ShutdownGraphics();

    // ---- lookups (null for index 0, an unknown index or a failed load)
    IDirect3DDevice8* Device() const { return device.get(); }
    // A parked texture is read from its file again here.
    std::shared_ptr<IDirect3DTexture8> Texture(int32_t index);
    gfxModel* Model(int32_t index) const { return models.Get(index); }
    gfxShaderObj* Shader(int32_t index) const { return shaders.Get(index); }
    // Width and height of level 0 of a texture ({1, 1} when there is none).
    std::pair<int, int> TextureSize(int32_t index);

    // A texture drawn only now and then (the loading screen's, between
    // loads) is put away while it is not: its entry keeps name, count and
    // index, and Texture() reads the file again when it is next asked for.
    void ParkTexture(int32_t index);
    // Parks the model's own texture and its sequences'.
    void ParkModelTextures(int32_t model);
    bool Parked(int32_t index) const;

    // How table objects are made; tests may substitute their own.
    std::function<std::shared_ptr<gfxModel>()> makeModel;
    std::function<std::shared_ptr<gfxShaderObj>()> makeShader;

    // ---- the device and its set-up
    std::shared_ptr<IDirect3D8> d3d;
    std::shared_ptr<IDirect3DDevice8> device;
    D3DADAPTER_IDENTIFIER8 identifier{};
    D3DCAPS8 caps{};
    D3DPRESENT_PARAMETERS presentParams{};
    D3DFORMAT adapterFormat = D3DFMT_UNKNOWN;
    D3DDEVTYPE deviceType = D3DDEVTYPE_HAL;
    DWORD behaviourFlags = 0;

    // Entry 0 is the (0, 0) sentinel; 1..resolutionCount sorted ascending.
    std::vector<gfxResolution> resolutions{gfxResolution{}};
    int32_t resolutionCount = 0;
    int32_t selectedResolution = 0;

    int32_t multisampleMax = 0;
    bool multisampling = false;
    bool copySwap = false;
    // False once antialiasing is on: the frame then draws no interlaced fields.
    bool interlaceAllowed = true;
    bool settingsRepaired = false;
    gfxCapabilityFlags available;
    float aspectRatio = 4.0f / 3.0f;

    // Render-state cache of the mesh and shader code; CheckDevice zeroes it.
    int32_t cachedShader = 0;
    int32_t cachedTexture = 0;
    DWORD cachedVertexFormat = 0;

    // The light map whose lights are on the device (null after a reset).
    const gfxLightMap* lightsOnDevice = nullptr;

    // Frame start: colour and whether the target is cleared (the level loader sets them).
    D3DCOLOR clearColour = 0;
    int32_t clearTarget = 1;
    // The current level wants fog (set by the level loader).
    bool levelFog = false;

    gfxResourceTable<IDirect3DTexture8> textures;
    gfxResourceTable<gfxModel> models;
    gfxResourceTable<gfxShaderObj> shaders;

private:
    template <class T>
    int32_t Lookup(gfxResourceTable<T>& table, const std::string& lowerName);
    template <class T>
    int32_t Allocate(gfxResourceTable<T>& table);
    void Recover();
    void LoadTextureInto(int32_t index, const std::string& name);
    void ReportCaps();
    bool AskFullscreen();

    Engine& engine_;
    // A texture or model was loaded since the last frame began.
    bool loadedSinceFrame_ = false;
    // Texture entries put away by ParkTexture.
    std::vector<int32_t> parked_;
};

// The engine's graphics module, created on first use in engine.gfx.
gfxCore& Graphics(Engine& engine);

} // namespace rdv
