// Textures from image files through stb_image.
#include "platform/d3dx/D3DX8Tex.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace rdv {

namespace {

// 8-bit RGBA pixels, rows top first.
struct Image {
    UINT width = 0, height = 0;
    std::vector<uint8_t> rgba;
};

void Fail(std::string* errorText, const std::string& text) {
    if (errorText) *errorText = text;
}

D3DXIMAGE_FILEFORMAT Sniff(const uint8_t* p, size_t n) {
    if (n >= 8 && std::memcmp(p, "\x89PNG\r\n\x1a\n", 8) == 0) return D3DXIFF_PNG;
    if (n >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF) return D3DXIFF_JPG;
    if (n >= 2 && p[0] == 'B' && p[1] == 'M') return D3DXIFF_BMP;
    if (n >= 4 && std::memcmp(p, "DDS ", 4) == 0) return D3DXIFF_DDS;
    if (n >= 2 && p[0] == 'P' && (p[1] == '5' || p[1] == '6')) return D3DXIFF_PPM;
    return D3DXIFF_TGA;   // TGA has no signature
}

// Nearest-texel resize, for explicit sizes that differ from the file's.
Image Resize(const Image& src, UINT w, UINT h) {
    Image out;
    out.width = w;
    out.height = h;
    out.rgba.resize(static_cast<size_t>(w) * h * 4);
    for (UINT y = 0; y < h; ++y) {
        UINT sy = static_cast<UINT>(static_cast<uint64_t>(y) * src.height / h);
        for (UINT x = 0; x < w; ++x) {
            UINT sx = static_cast<UINT>(static_cast<uint64_t>(x) * src.width / w);
            std::memcpy(&out.rgba[(static_cast<size_t>(y) * w + x) * 4],
                        &src.rgba[(static_cast<size_t>(sy) * src.width + sx) * 4], 4);
        }
    }
    return out;
}

// The next smaller mip level: each texel the average of (up to) 2 x 2.
Image HalfSize(const Image& src, bool box) {
    Image out;
    out.width = std::max<UINT>(src.width / 2, 1);
    out.height = std::max<UINT>(src.height / 2, 1);
    out.rgba.resize(static_cast<size_t>(out.width) * out.height * 4);
    for (UINT y = 0; y < out.height; ++y)
        for (UINT x = 0; x < out.width; ++x) {
            UINT x0 = std::min(2 * x, src.width - 1), x1 = std::min(2 * x + 1, src.width - 1);
            UINT y0 = std::min(2 * y, src.height - 1), y1 = std::min(2 * y + 1, src.height - 1);
            for (int c = 0; c < 4; ++c) {
                auto at = [&](UINT xx, UINT yy) { return src.rgba[(static_cast<size_t>(yy) * src.width + xx) * 4 + c]; };
                uint8_t v = box ? static_cast<uint8_t>((at(x0, y0) + at(x1, y0) + at(x0, y1) + at(x1, y1) + 2) / 4)
                                : at(x0, y0);
                out.rgba[(static_cast<size_t>(y) * out.width + x) * 4 + c] = v;
            }
        }
    return out;
}

uint32_t Pack(D3DFORMAT f, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    switch (f) {
    case D3DFMT_A8R8G8B8: return (uint32_t(a) << 24) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
    case D3DFMT_X8R8G8B8: return 0xFF000000u | (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
    case D3DFMT_R5G6B5: return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    case D3DFMT_X1R5G5B5: return 0x8000u | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case D3DFMT_A1R5G5B5: return ((a >= 128 ? 1u : 0u) << 15) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case D3DFMT_A4R4G4B4: return ((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4);
    case D3DFMT_X4R4G4B4: return 0xF000u | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4);
    default: return 0;
    }
}

int BytesOf(D3DFORMAT f) {
    switch (f) {
    case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8: return 4;
    case D3DFMT_R5G6B5: case D3DFMT_X1R5G5B5: case D3DFMT_A1R5G5B5: case D3DFMT_A4R4G4B4: case D3DFMT_X4R4G4B4:
        return 2;
    default: return 0;
    }
}

HRESULT Fill(IDirect3DTexture8& tex, UINT level, const Image& img, D3DFORMAT format, std::string* errorText) {
    D3DSURFACE_DESC desc;
    HRESULT hr = tex.GetLevelDesc(level, &desc);
    if (FAILED(hr)) return hr;
    D3DLOCKED_RECT lr;
    hr = tex.LockRect(level, &lr, nullptr, 0);
    if (FAILED(hr)) {
        Fail(errorText, "could not lock the texture");
        return hr;
    }
    const int bpp = BytesOf(format);
    const UINT w = std::min(desc.Width, img.width), h = std::min(desc.Height, img.height);
    for (UINT y = 0; y < h; ++y) {
        auto* row = static_cast<uint8_t*>(lr.pBits) + static_cast<size_t>(y) * lr.Pitch;
        for (UINT x = 0; x < w; ++x) {
            const uint8_t* p = &img.rgba[(static_cast<size_t>(y) * img.width + x) * 4];
            uint32_t v = Pack(format, p[0], p[1], p[2], p[3]);
            std::memcpy(row + static_cast<size_t>(x) * bpp, &v, bpp);   // little-endian: as Direct3D lays it out
        }
    }
    return tex.UnlockRect(level);
}

} // namespace

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice8* device, const void* data, size_t size, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                            D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* info, std::shared_ptr<IDirect3DTexture8>& texture,
                                            std::string* errorText) {
    if (!device) {
        Fail(errorText, "no device");
        return D3DERR_INVALIDCALL;
    }
    if (!data || size == 0 || size > 0x7FFFFFFFu) {
        Fail(errorText, "empty or oversized image data");
        return D3DXERR_INVALIDDATA;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(bytes, static_cast<int>(size), &w, &h, &channels) || w <= 0 || h <= 0 ||
        w > 16384 || h > 16384) {
        Fail(errorText, std::string("not a readable image (") + (stbi_failure_reason() ? stbi_failure_reason() : "?") + ")");
        return D3DXERR_INVALIDDATA;
    }
    stbi_uc* pixels = stbi_load_from_memory(bytes, static_cast<int>(size), &w, &h, &channels, 4);
    if (!pixels) {
        Fail(errorText, std::string("corrupt image (") + (stbi_failure_reason() ? stbi_failure_reason() : "?") + ")");
        return D3DXERR_INVALIDDATA;
    }
    Image img;
    img.width = static_cast<UINT>(w);
    img.height = static_cast<UINT>(h);
    img.rgba.assign(pixels, pixels + static_cast<size_t>(w) * h * 4);
    stbi_image_free(pixels);

    const bool hasAlpha = channels == 2 || channels == 4;
    if (info) {
        info->Width = img.width;
        info->Height = img.height;
        info->Depth = 1;
        info->MipLevels = 1;
        info->Format = hasAlpha ? D3DFMT_A8R8G8B8 : (channels >= 3 ? D3DFMT_R8G8B8 : D3DFMT_L8);
        info->ResourceType = D3DRTYPE_TEXTURE;
        info->ImageFileFormat = Sniff(bytes, size);
    }

    if (colorKey != 0) {
        for (size_t i = 0; i < img.rgba.size(); i += 4) {
            const uint8_t* p = &img.rgba[i];
            D3DCOLOR c = D3DCOLOR_ARGB(p[3], p[0], p[1], p[2]);
            if (c == colorKey) std::memset(&img.rgba[i], 0, 4);
        }
    }
    if (format == D3DFMT_UNKNOWN || format == static_cast<D3DFORMAT>(D3DX_DEFAULT))
        format = hasAlpha || colorKey != 0 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    if (BytesOf(format) == 0) {
        Fail(errorText, "texture format " + std::to_string(format) + " cannot be filled from an image");
        return D3DERR_INVALIDCALL;
    }

    UINT tw = (width == 0 || width == D3DX_DEFAULT) ? img.width : width;
    UINT th = (height == 0 || height == D3DX_DEFAULT) ? img.height : height;
    if (tw != img.width || th != img.height) img = Resize(img, tw, th);
    UINT levels = (mipLevels == D3DX_DEFAULT) ? 0 : mipLevels;

    std::shared_ptr<IDirect3DTexture8> made;
    HRESULT hr = device->CreateTexture(tw, th, levels, usage, format, pool, made);
    if (FAILED(hr) || !made) {
        Fail(errorText, "the device could not create a " + std::to_string(tw) + " x " + std::to_string(th) + " texture");
        return FAILED(hr) ? hr : E_FAIL;
    }
    (void)filter;
    const bool box = mipFilter != D3DX_FILTER_POINT && mipFilter != D3DX_FILTER_NONE;
    Image level = img;
    for (UINT i = 0; i < made->GetLevelCount(); ++i) {
        if (i > 0) level = HalfSize(level, box);
        hr = Fill(*made, i, level, format, errorText);
        if (FAILED(hr)) return hr;
    }
    texture = std::move(made);
    return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileEx(IDirect3DDevice8* device, const std::filesystem::path& file, UINT width,
                                    UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                    DWORD filter, DWORD mipFilter, D3DCOLOR colorKey, D3DXIMAGE_INFO* info,
                                    std::shared_ptr<IDirect3DTexture8>& texture, std::string* errorText) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        Fail(errorText, "no such file: " + file.string());
        return D3DERR_NOTFOUND;
    }
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        Fail(errorText, "could not read " + file.string());
        return D3DERR_NOTFOUND;
    }
    std::string reason;
    HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(device, bytes.data(), bytes.size(), width, height, mipLevels,
                                                     usage, format, pool, filter, mipFilter, colorKey, info, texture,
                                                     &reason);
    if (FAILED(hr)) Fail(errorText, file.filename().string() + ": " + reason);
    return hr;
}

HRESULT D3DXCreateTextureFromFile(IDirect3DDevice8* device, const std::filesystem::path& file,
                                  std::shared_ptr<IDirect3DTexture8>& texture, std::string* errorText) {
    return D3DXCreateTextureFromFileEx(device, file, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                       D3DPOOL_MANAGED, D3DX_FILTER_TRIANGLE, D3DX_FILTER_BOX, 0, nullptr, texture,
                                       errorText);
}

} // namespace rdv
