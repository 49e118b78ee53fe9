#pragma once
// Textures from image files (png, bmp, tga, jpg, and what else stb_image
// reads), created and filled through the device interface, as the D3DX 8
// texture loader does: the image's own size, a full mip chain, A8R8G8B8
// for images with alpha and X8R8G8B8 for those without.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/d3d/D3D8.h"

namespace rdv {

inline constexpr UINT D3DX_DEFAULT = 0xFFFFFFFFu;

// Filters of the Ex loader (only how mip levels are made matters here).
inline constexpr DWORD D3DX_FILTER_NONE = 1;
inline constexpr DWORD D3DX_FILTER_POINT = 2;
inline constexpr DWORD D3DX_FILTER_LINEAR = 3;
inline constexpr DWORD D3DX_FILTER_TRIANGLE = 4;
inline constexpr DWORD D3DX_FILTER_BOX = 5;

// The file's data is not an image we can read.
inline constexpr HRESULT D3DXERR_INVALIDDATA = MakeHr(0x88760B59);

enum D3DXIMAGE_FILEFORMAT : uint32_t {
    D3DXIFF_BMP = 0, D3DXIFF_JPG = 1, D3DXIFF_TGA = 2, D3DXIFF_PNG = 3, D3DXIFF_DDS = 4, D3DXIFF_PPM = 5,
    D3DXIFF_DIB = 6, D3DXIFF_UNKNOWN = 0xFFFFFFFFu,
};

struct D3DXIMAGE_INFO {
    UINT Width = 0, Height = 0, Depth = 1, MipLevels = 1;
    D3DFORMAT Format = D3DFMT_UNKNOWN;           // the file's own pixel format
    D3DRESOURCETYPE ResourceType = D3DRTYPE_TEXTURE;
    D3DXIMAGE_FILEFORMAT ImageFileFormat = D3DXIFF_UNKNOWN;
};

// D3D_OK, D3DERR_NOTFOUND (no such file), D3DXERR_INVALIDDATA (not an
// image), D3DERR_INVALIDCALL (no device, bad arguments) or what the
// device's CreateTexture / LockRect answered. errorText, when given,
// receives a readable reason for a failure.
HRESULT D3DXCreateTextureFromFile(IDirect3DDevice8* device, const std::filesystem::path& file,
                                  std::shared_ptr<IDirect3DTexture8>& texture, std::string* errorText = nullptr);

// width, height, mipLevels: D3DX_DEFAULT (or 0) = from the file / full
// chain; format D3DFMT_UNKNOWN = from the file. colorKey: an ARGB colour
// that becomes transparent black (0 = none; opaque images have alpha FF).
HRESULT D3DXCreateTextureFromFileEx(IDirect3DDevice8* device, const std::filesystem::path& file, UINT width,
                                    UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                    DWORD filter, DWORD mipFilter, D3DCOLOR colorKey, D3DXIMAGE_INFO* info,
                                    std::shared_ptr<IDirect3DTexture8>& texture, std::string* errorText = nullptr);

// The same from image bytes already in memory.
HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice8* device, const void* data, size_t size, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                            D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* info, std::shared_ptr<IDirect3DTexture8>& texture,
                                            std::string* errorText = nullptr);

} // namespace rdv
