// The render and stage states, transforms, viewport, material and lights
// of the recording device.
#include "platform/d3d/Recording.h"

namespace rdv {

HRESULT RecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    Record("SetRenderState", {state, value});
    if (state >= renderStates_.size()) return D3DERR_INVALIDCALL;
    renderStates_[state] = value;
    return D3D_OK;
}

HRESULT RecordingDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (!value || state >= renderStates_.size()) return D3DERR_INVALIDCALL;
    *value = renderStates_[state];
    return D3D_OK;
}

HRESULT RecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE t, DWORD value) {
    Record("SetTextureStageState", {stage, t, value});
    if (stage >= D3DMAXTEXTURESTAGES || t >= D3DTSS_COUNT) return D3DERR_INVALIDCALL;
    stageStates_[stage][t] = value;
    return D3D_OK;
}

HRESULT RecordingDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE t, DWORD* value) {
    if (!value || stage >= D3DMAXTEXTURESTAGES || t >= D3DTSS_COUNT) return D3DERR_INVALIDCALL;
    *value = stageStates_[stage][t];
    return D3D_OK;
}

HRESULT RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    Record("SetTransform", {state}, &matrix->m[0][0], 16);
    transforms_[state] = *matrix;
    return D3D_OK;
}

HRESULT RecordingDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    *matrix = Transform(state);
    return D3D_OK;
}

HRESULT RecordingDevice::SetViewport(const D3DVIEWPORT8* v) {
    if (!v) return D3DERR_INVALIDCALL;
    Record("SetViewport", {v->X, v->Y, v->Width, v->Height}, {v->MinZ, v->MaxZ});
    viewport = *v;
    return D3D_OK;
}

HRESULT RecordingDevice::GetViewport(D3DVIEWPORT8* v) {
    if (!v) return D3DERR_INVALIDCALL;
    *v = viewport;
    return D3D_OK;
}

HRESULT RecordingDevice::SetMaterial(const D3DMATERIAL8* m) {
    if (!m) return D3DERR_INVALIDCALL;
    Record("SetMaterial", {},
           {m->Diffuse.r, m->Diffuse.g, m->Diffuse.b, m->Diffuse.a, m->Ambient.r, m->Ambient.g, m->Ambient.b,
            m->Ambient.a, m->Specular.r, m->Specular.g, m->Specular.b, m->Specular.a, m->Emissive.r, m->Emissive.g,
            m->Emissive.b, m->Emissive.a, m->Power});
    material = *m;
    return D3D_OK;
}

HRESULT RecordingDevice::GetMaterial(D3DMATERIAL8* m) {
    if (!m) return D3DERR_INVALIDCALL;
    *m = material;
    return D3D_OK;
}

HRESULT RecordingDevice::SetLight(DWORD index, const D3DLIGHT8* l) {
    if (!l) return D3DERR_INVALIDCALL;
    Record("SetLight", {index, l->Type},
           {l->Diffuse.r, l->Diffuse.g, l->Diffuse.b, l->Position.x, l->Position.y, l->Position.z, l->Direction.x,
            l->Direction.y, l->Direction.z, l->Range});
    lights[index] = *l;
    return D3D_OK;
}

HRESULT RecordingDevice::GetLight(DWORD index, D3DLIGHT8* l) {
    auto it = lights.find(index);
    if (!l || it == lights.end()) return D3DERR_INVALIDCALL;
    *l = it->second;
    return D3D_OK;
}

HRESULT RecordingDevice::LightEnable(DWORD index, BOOL enable) {
    Record("LightEnable", {index, static_cast<DWORD>(enable)});
    if (!lights.count(index)) lights[index] = D3DLIGHT8{};
    lightEnabled[index] = enable;
    return D3D_OK;
}

HRESULT RecordingDevice::GetLightEnable(DWORD index, BOOL* enable) {
    auto it = lightEnabled.find(index);
    if (!enable || it == lightEnabled.end()) return D3DERR_INVALIDCALL;
    *enable = it->second;
    return D3D_OK;
}

} // namespace rdv
