// The draws of the recording device, each with a copy of the vertices it
// drew and the transforms it drew them with.
#include "platform/d3d/Recording.h"

#include <cstring>

#include "platform/d3d/RecordingInternal.h"

namespace rdv {

namespace {

void MatrixFloats(const D3DMATRIX& m, std::vector<float>& out) {
    out.assign(&m.m[0][0], &m.m[0][0] + 16);
}

} // namespace

UINT RecordingDevice::VertexCount(D3DPRIMITIVETYPE t, UINT n) {
    switch (t) {
    case D3DPT_POINTLIST: return n;
    case D3DPT_LINELIST: return 2 * n;
    case D3DPT_LINESTRIP: return n + 1;
    case D3DPT_TRIANGLELIST: return 3 * n;
    case D3DPT_TRIANGLESTRIP: case D3DPT_TRIANGLEFAN: return n + 2;
    }
    return 0;
}

void RecordingDevice::RecordDraw(RecordedCall& call) {
    calls.HoldTexture(call, stageTextures_[0]);
    auto it = transforms_.find(D3DTS_WORLD);
    MatrixFloats(it == transforms_.end() ? Identity() : it->second, call.floats);
}

HRESULT RecordingDevice::KeepStreamVertices(RecordedCall& c, D3DPRIMITIVETYPE t, UINT startVertex,
                                            UINT primitiveCount) {
    if (!stream0_ || stride0_ == 0) return D3DERR_INVALIDCALL;
    auto* vb = static_cast<RecordingVertexBuffer*>(stream0_.get());
    size_t begin = static_cast<size_t>(startVertex) * stride0_;
    size_t size = static_cast<size_t>(VertexCount(t, primitiveCount)) * stride0_;
    if (begin + size > vb->mem.bytes.size()) return D3DERR_INVALIDCALL;
    KeepVertices(c, *vb, begin, size);
    return D3D_OK;
}

HRESULT RecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE t, UINT startVertex, UINT primitiveCount) {
    RecordedCall& c = Record("DrawPrimitive", {t, startVertex, primitiveCount});
    RecordDraw(c);
    return KeepStreamVertices(c, t, startVertex, primitiveCount);
}

HRESULT RecordingDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE t, UINT minIndex, UINT numVertices, UINT startIndex,
                                              UINT primitiveCount) {
    RecordedCall& c = Record("DrawIndexedPrimitive", {t, minIndex, numVertices, startIndex, primitiveCount});
    RecordDraw(c);
    if (!stream0_ || !indices_ || stride0_ == 0) return D3DERR_INVALIDCALL;
    auto* vb = static_cast<RecordingVertexBuffer*>(stream0_.get());
    size_t begin = static_cast<size_t>(baseVertex_ + minIndex) * stride0_;
    size_t size = static_cast<size_t>(numVertices) * stride0_;
    if (begin + size > vb->mem.bytes.size()) return D3DERR_INVALIDCALL;
    KeepVertices(c, *vb, begin, size);
    return D3D_OK;
}

HRESULT RecordingDevice::DrawPrimitiveInstanced(D3DPRIMITIVETYPE t, UINT startVertex, UINT primitiveCount,
                                                const D3DMATRIX* worlds, UINT count) {
    RecordedCall& c = Record("DrawPrimitiveInstanced", {t, startVertex, primitiveCount, count});
    calls.HoldTexture(c, stageTextures_[0]);
    if (!worlds || count == 0) {
        c.floats.clear();
        return D3DERR_INVALIDCALL;
    }
    c.floats.assign(&worlds[0].m[0][0], &worlds[0].m[0][0] + size_t{16} * count);
    transforms_[D3DTS_WORLD] = worlds[count - 1];
    return KeepStreamVertices(c, t, startVertex, primitiveCount);
}

HRESULT RecordingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE t, UINT primitiveCount, const void* vertexData,
                                         UINT stride) {
    RecordedCall& c = Record("DrawPrimitiveUP", {t, primitiveCount, stride});
    RecordDraw(c);
    if (!vertexData || stride == 0) return D3DERR_INVALIDCALL;
    const auto* p = static_cast<const uint8_t*>(vertexData);
    KeepVertices(c, p, static_cast<size_t>(VertexCount(t, primitiveCount)) * stride);
    // Direct3D forgets stream 0 after a user-pointer draw.
    stream0_.reset();
    return D3D_OK;
}

HRESULT RecordingDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE t, UINT minIndex, UINT numVertices,
                                                UINT primitiveCount, const void* indexData, D3DFORMAT indexFormat,
                                                const void* vertexData, UINT stride) {
    RecordedCall& c = Record("DrawIndexedPrimitiveUP", {t, minIndex, numVertices, primitiveCount, indexFormat, stride});
    RecordDraw(c);
    if (!vertexData || !indexData || stride == 0) return D3DERR_INVALIDCALL;
    const auto* p = static_cast<const uint8_t*>(vertexData);
    KeepVertices(c, p + static_cast<size_t>(minIndex) * stride, static_cast<size_t>(numVertices) * stride);
    stream0_.reset();
    indices_.reset();
    return D3D_OK;
}

} // namespace rdv
