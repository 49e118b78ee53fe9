// Frame capture: the back buffer of the OpenGL device written as PNG.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/d3d/GLDevice.h"

namespace rdv {

namespace {

void AppendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

} // namespace

bool WritePng(const std::string& pngPath, const std::vector<uint8_t>& rgba, UINT width, UINT height) {
    if (width == 0 || height == 0 || rgba.size() < static_cast<size_t>(width) * height * 4) return false;
    std::vector<uint8_t> png;
    if (!stbi_write_png_to_func(AppendBytes, &png, static_cast<int>(width), static_cast<int>(height), 4, rgba.data(),
                                static_cast<int>(width * 4)))
        return false;
    // Write beside the target and rename, so a failed write keeps the old file.
    const std::string temp = pngPath + ".tmp";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    const bool closed = std::fclose(f) == 0;
    std::error_code ec;
    if (!written || !closed) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    std::filesystem::rename(temp, pngPath, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

bool CaptureBackBuffer(IDirect3DDevice8& device, const std::string& pngPath) {
    std::vector<uint8_t> rgba;
    UINT width = 0, height = 0;
    if (!ReadBackBuffer(device, rgba, width, height)) return false;
    // A screenshot is opaque whatever the back buffer keeps in alpha.
    for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
    return WritePng(pngPath, rgba, width, height);
}

} // namespace rdv
