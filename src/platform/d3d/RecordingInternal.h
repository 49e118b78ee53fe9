#pragma once
// What the recording device's source files share: texel sizes, the identity
// matrix, its buffers and the filter of recorded calls.
#include <memory>
#include <string>
#include <vector>

#include "platform/d3d/Recording.h"

namespace rdv {

UINT BytesPerPixel(D3DFORMAT format);

D3DMATRIX Identity();

// A lockable block of memory: vertex and index buffers.
class RecordingBufferImpl {
public:
    explicit RecordingBufferImpl(UINT length) : bytes(length) {}
    HRESULT Lock(UINT offset, UINT size, BYTE** data) {
        if (!data || offset > bytes.size() || (size != 0 && offset + size > bytes.size())) return D3DERR_INVALIDCALL;
        if (locked) return D3DERR_INVALIDCALL;
        locked = true;
        snapshot.reset();
        *data = bytes.data() + offset;
        return D3D_OK;
    }
    HRESULT Unlock() {
        if (!locked) return D3DERR_INVALIDCALL;
        locked = false;
        snapshot.reset();
        return D3D_OK;
    }
    // The contents as they are now, copied once until the next lock; draws
    // keep it to show what they drew.
    std::shared_ptr<const std::vector<uint8_t>> Snapshot() {
        if (!snapshot || locked) snapshot = std::make_shared<const std::vector<uint8_t>>(bytes);
        return snapshot;
    }
    std::vector<uint8_t> bytes;
    bool locked = false;
    std::shared_ptr<const std::vector<uint8_t>> snapshot;
};

class RecordingVertexBuffer final : public IDirect3DVertexBuffer8 {
public:
    RecordingVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool) : mem(length) {
        desc.Size = length;
        desc.Usage = usage;
        desc.FVF = fvf;
        desc.Pool = pool;
    }
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD) override { return mem.Lock(offset, size, data); }
    HRESULT Unlock() override { return mem.Unlock(); }
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* d) override {
        if (!d) return D3DERR_INVALIDCALL;
        *d = desc;
        return D3D_OK;
    }
    RecordingBufferImpl mem;
    D3DVERTEXBUFFER_DESC desc;
};

class RecordingIndexBuffer final : public IDirect3DIndexBuffer8 {
public:
    RecordingIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool) : mem(length) {
        desc.Size = length;
        desc.Usage = usage;
        desc.Format = format;
        desc.Pool = pool;
    }
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD) override { return mem.Lock(offset, size, data); }
    HRESULT Unlock() override { return mem.Unlock(); }
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* d) override {
        if (!d) return D3DERR_INVALIDCALL;
        *d = desc;
        return D3D_OK;
    }
    RecordingBufferImpl mem;
    D3DINDEXBUFFER_DESC desc;
};

template <class Calls>
std::vector<const RecordedCall*> Filter(const Calls& calls, const std::string& op) {
    std::vector<const RecordedCall*> out;
    for (const auto& c : calls)
        if (c.op == op) out.push_back(&c);
    return out;
}

} // namespace rdv
