// The graphics core's resource tables: textures, models and shaders by name.
#include "graphics/Core.h"

#include <algorithm>

#include "core/Engine.h"
#include "core/Error.h"
#include "graphics/CoreInternal.h"
#include "graphics/Model.h"
#include "graphics/Shader.h"
#include "packages/Package.h"
#include "platform/FileSearch.h"
#include "platform/d3dx/D3DX8Tex.h"

namespace rdv {

// ------------------------------------------------------------------ tables
template <class T>
int32_t gfxCore::Lookup(gfxResourceTable<T>& table, const std::string& lowerName) {
    // Entry 0 is reserved even for a name spelled like its blank.
    for (int32_t i = 1; i <= table.Highest(); ++i)
        if (table.names[i] == lowerName && (table.counts[i] > 0 || !lowerName.empty())) return i;
    return -1;
}

template <class T>
int32_t gfxCore::Allocate(gfxResourceTable<T>& table) {
    // Free: no name and never handed out (a resource named "" counts as used).
    for (int32_t i = 0; i <= table.Highest(); ++i)
        if (table.names[i].empty() && table.counts[i] == 0) return i;
    table.objects.emplace_back();
    table.names.emplace_back();
    table.counts.push_back(0);
    return table.Highest();
}

int32_t gfxCore::GetModel(const std::string& name) {
    const std::string lower = LowerCase(name);
    int32_t i = Lookup(models, lower);
    if (i >= 0) {
        ++models.counts[i];
        return i;
    }
    i = Allocate(models);
    models.counts[i] = 1;
    models.names[i] = lower;
    loadedSinceFrame_ = true;
    models.objects[i] = makeModel();
    models.objects[i]->LoadModel(engine_, name);
    return i;
}

int32_t gfxCore::GetShader(const std::string& name) {
    const std::string lower = LowerCase(name);
    int32_t i = Lookup(shaders, lower);
    if (i >= 0) {
        ++shaders.counts[i];
        return i;
    }
    i = Allocate(shaders);
    shaders.counts[i] = 1;
    shaders.names[i] = lower;
    shaders.objects[i] = makeShader();
    shaders.objects[i]->Load(engine_, name);
    return i;
}

int32_t gfxCore::LoadTexture(const std::string& name) {
    const std::string lower = LowerCase(name);
    int32_t i = Lookup(textures, lower);
    if (i >= 0) {
        ++textures.counts[i];
        return i;
    }
    i = Allocate(textures);
    BeginLoadStep(engine_, name);
    textures.counts[i] = 1;
    textures.names[i] = lower;
    loadedSinceFrame_ = true;
    LoadTextureInto(i, name);
    EndLoadStep(engine_);
    return i;
}

void gfxCore::LoadTextureInto(int32_t index, const std::string& name) {
    std::vector<std::filesystem::path> found = FindStemMatches(ResolveNoCase(engine_.programFolder, "textures"), name);
    if (found.empty()) {
        // Keep the loading trace balanced for callers that carry on.
        EndLoadStep(engine_);
        RaiseError(ErrFileAccess, "System->LoadTexture->FindFile", "Couldn't find texture: " + name);
    }
    std::shared_ptr<IDirect3DTexture8> tex;
    std::string why;
    HRESULT hr = D3DXCreateTextureFromFile(device.get(), found.front(), tex, &why);
    if (FAILED(hr)) {
        EndLoadStep(engine_);
        RaiseError(ErrFileType, "System->LoadTexture->CreateTexture", "Couldn't load texture: " + why);
    }
    textures.objects[index] = std::move(tex);
}

std::shared_ptr<IDirect3DTexture8> gfxCore::Texture(int32_t index) {
    if (!textures.Valid(index) || index >= int32_t(textures.objects.size())) return nullptr;
    if (!textures.objects[index] && Parked(index)) {
        std::erase(parked_, index);
        // It loaded once; if its file went since, it draws untextured.
        std::vector<std::filesystem::path> found =
            FindStemMatches(ResolveNoCase(engine_.programFolder, "textures"), textures.names[index]);
        std::shared_ptr<IDirect3DTexture8> tex;
        std::string why = "no file";
        if (!found.empty() && SUCCEEDED(D3DXCreateTextureFromFile(device.get(), found.front(), tex, &why)))
            textures.objects[index] = std::move(tex);
        else
            engine_.log.Write("WARNING: Couldn't reload texture " + textures.names[index] + ": " + why, 4);
        loadedSinceFrame_ = true;
    }
    return textures.objects[index];
}

void gfxCore::ParkTexture(int32_t index) {
    if (index <= 0 || index >= int32_t(textures.objects.size()) || !textures.objects[index]) return;
    textures.objects[index].reset();
    if (!Parked(index)) parked_.push_back(index);
    // What the texture held goes back to the system with the next frame.
    loadedSinceFrame_ = true;
}

void gfxCore::ParkModelTextures(int32_t model) {
    const gfxModel* m = Model(model);
    if (!m) return;
    ParkTexture(m->data().textureIndex);
    for (const MeshSequence& seq : m->data().sequences) ParkTexture(seq.texture);
}

bool gfxCore::Parked(int32_t index) const {
    return std::find(parked_.begin(), parked_.end(), index) != parked_.end();
}

std::pair<int, int> gfxCore::TextureSize(int32_t index) {
    std::shared_ptr<IDirect3DTexture8> t = Texture(index);
    D3DSURFACE_DESC d;
    if (!t || FAILED(t->GetLevelDesc(0, &d))) return {1, 1};
    return {static_cast<int>(d.Width), static_cast<int>(d.Height)};
}

void gfxCore::ResetResourceTables() {
    textures = gfxResourceTable<IDirect3DTexture8>{};
    parked_.clear();
    models = gfxResourceTable<gfxModel>{};
    shaders = gfxResourceTable<gfxShaderObj>{};
}

} // namespace rdv
