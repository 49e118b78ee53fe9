// Textures from image files: each file kind decodes to the texels it holds,
// the format follows the image's alpha, mip levels are averaged, and bad
// files fail with a clear result instead of a texture.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/d3d/Recording.h"
#include "platform/d3dx/D3DX8Tex.h"

using namespace rdv;

namespace {

using Bytes = std::vector<uint8_t>;

void Put32BE(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
}
void Put16LE(Bytes& b, uint32_t v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
void Put32LE(Bytes& b, uint32_t v) {
    Put16LE(b, v & 0xFFFF);
    Put16LE(b, v >> 16);
}

uint32_t Crc(const uint8_t* p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

void Chunk(Bytes& png, const char* type, const Bytes& data) {
    Put32BE(png, static_cast<uint32_t>(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    Put32BE(png, Crc(body.data(), body.size()));
}

// An RGBA (or RGB) PNG with an uncompressed deflate stream.
Bytes Png(int w, int h, const std::vector<uint32_t>& argb, bool alpha) {
    Bytes raw;
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);   // filter: none
        for (int x = 0; x < w; ++x) {
            uint32_t c = argb[y * w + x];
            raw.push_back((c >> 16) & 0xFF);
            raw.push_back((c >> 8) & 0xFF);
            raw.push_back(c & 0xFF);
            if (alpha) raw.push_back(c >> 24);
        }
    }
    Bytes z = {0x78, 0x01, 0x01};
    Put16LE(z, static_cast<uint32_t>(raw.size()));
    Put16LE(z, static_cast<uint32_t>(~raw.size() & 0xFFFF));
    z.insert(z.end(), raw.begin(), raw.end());
    uint32_t a = 1, b = 0;
    for (uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    Put32BE(z, (b << 16) | a);

    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    Put32BE(ihdr, w);
    Put32BE(ihdr, h);
    ihdr.insert(ihdr.end(), {8, static_cast<uint8_t>(alpha ? 6 : 2), 0, 0, 0});
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    return png;
}

// A 24-bit bottom-up BMP.
Bytes Bmp(int w, int h, const std::vector<uint32_t>& argb) {
    const int row = (w * 3 + 3) & ~3;
    Bytes b = {'B', 'M'};
    Put32LE(b, 54 + row * h);
    Put32LE(b, 0);
    Put32LE(b, 54);
    Put32LE(b, 40);
    Put32LE(b, w);
    Put32LE(b, h);
    Put16LE(b, 1);
    Put16LE(b, 24);
    for (int i = 0; i < 6; ++i) Put32LE(b, 0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            uint32_t c = argb[y * w + x];
            b.insert(b.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16)});
        }
        for (int p = w * 3; p < row; ++p) b.push_back(0);
    }
    return b;
}

// An uncompressed 32-bit top-down TGA.
Bytes Tga(int w, int h, const std::vector<uint32_t>& argb) {
    Bytes b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16LE(b, w);
    Put16LE(b, h);
    b.push_back(32);
    b.push_back(0x28);   // top-left origin, 8 alpha bits
    for (uint32_t c : argb)
        b.insert(b.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16),
                           static_cast<uint8_t>(c >> 24)});
    return b;
}

class D3DXTexture : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("rdv_tex_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        D3DPRESENT_PARAMETERS p;
        ASSERT_EQ(adapter.CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &p, device), D3D_OK);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path Write(const std::string& name, const Bytes& bytes) {
        std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return dir / name;
    }
    RecordingTexture* Load(const std::filesystem::path& file) {
        std::string why;
        HRESULT hr = D3DXCreateTextureFromFile(device.get(), file, texture, &why);
        EXPECT_EQ(hr, D3D_OK) << why;
        return static_cast<RecordingTexture*>(texture.get());
    }

    std::filesystem::path dir;
    RecordingDirect3D8 adapter;
    std::shared_ptr<IDirect3DDevice8> device;
    std::shared_ptr<IDirect3DTexture8> texture;
};

const std::vector<uint32_t> kQuad = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0x80FFFFFFu};

} // namespace

TEST_F(D3DXTexture, EachFileKindGivesItsTexels) {
    const std::vector<uint32_t> opaque = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFF808080u};
    struct Case {
        std::string name;
        Bytes bytes;
        D3DFORMAT format;   // a file with an alpha channel keeps it
    };
    for (const auto& c : std::vector<Case>{{"a.png", Png(2, 2, opaque, false), D3DFMT_X8R8G8B8},
                                           {"a.bmp", Bmp(2, 2, opaque), D3DFMT_X8R8G8B8},
                                           {"a.tga", Tga(2, 2, opaque), D3DFMT_A8R8G8B8}}) {
        SCOPED_TRACE(c.name);
        RecordingTexture* t = Load(Write(c.name, c.bytes));
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->format, c.format);
        EXPECT_EQ(t->Texel(0, 0), 0xFFFF0000u);
        EXPECT_EQ(t->Texel(1, 0), 0xFF00FF00u);
        EXPECT_EQ(t->Texel(0, 1), 0xFF0000FFu);
        EXPECT_EQ(t->Texel(1, 1), 0xFF808080u);
    }
}

TEST_F(D3DXTexture, AlphaImagesKeepAlphaAndMipLevelsAverage) {
    RecordingTexture* t = Load(Write("q.png", Png(2, 2, kQuad, true)));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(t->Texel(1, 1), 0x80FFFFFFu);
    ASSERT_EQ(t->GetLevelCount(), 2u);
    uint32_t mip;
    std::memcpy(&mip, t->Bits(1).data(), 4);
    // (255+0+0+255)/4, (0+255+0+255)/4, ... rounded: 0x80, 0x80, 0x80; alpha (3*255+128+2)/4 = 0xDF.
    EXPECT_EQ(mip, 0xDF808080u);
    D3DXIMAGE_INFO info;
    std::shared_ptr<IDirect3DTexture8> t2;
    ASSERT_EQ(D3DXCreateTextureFromFileEx(device.get(), dir / "q.png", D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                          D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0,
                                          &info, t2),
              D3D_OK);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
    EXPECT_EQ(info.Width, 2u);
    EXPECT_EQ(t2->GetLevelCount(), 1u);
    uint16_t texel;
    std::memcpy(&texel, static_cast<RecordingTexture*>(t2.get())->Bits(0).data(), 2);
    EXPECT_EQ(texel, 0xFF00);
}

TEST_F(D3DXTexture, ColourKeyBecomesTransparentBlack) {
    std::vector<uint32_t> keyed = {0xFFFF00FFu, 0xFF00FF00u};
    std::shared_ptr<IDirect3DTexture8> t;
    ASSERT_EQ(D3DXCreateTextureFromFileEx(device.get(), Write("k.bmp", Bmp(2, 1, keyed)), 0, 0, 1, 0,
                                          D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE,
                                          0xFFFF00FFu, nullptr, t),
              D3D_OK);
    auto* rt = static_cast<RecordingTexture*>(t.get());
    EXPECT_EQ(rt->format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(rt->Texel(0, 0), 0u);
    EXPECT_EQ(rt->Texel(1, 0), 0xFF00FF00u);
}

TEST_F(D3DXTexture, BadFilesFailClearly) {
    std::string why;
    EXPECT_EQ(D3DXCreateTextureFromFile(device.get(), dir / "missing.png", texture, &why), D3DERR_NOTFOUND);
    EXPECT_NE(why.find("missing.png"), std::string::npos);
    EXPECT_EQ(D3DXCreateTextureFromFile(device.get(), Write("empty.png", {}), texture, &why), D3DXERR_INVALIDDATA);
    EXPECT_EQ(D3DXCreateTextureFromFile(device.get(), Write("text.png", Bytes{'h', 'e', 'l', 'l', 'o'}), texture, &why),
              D3DXERR_INVALIDDATA);
    // A PNG cut off in its pixel data.
    Bytes cut = Png(4, 4, std::vector<uint32_t>(16, 0xFF123456u), false);
    cut.resize(cut.size() / 2);
    EXPECT_EQ(D3DXCreateTextureFromFile(device.get(), Write("cut.png", cut), texture, &why), D3DXERR_INVALIDDATA);
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(D3DXCreateTextureFromFile(nullptr, dir / "missing.png", texture, &why), D3DERR_NOTFOUND);
    // The device's own failure comes back as it is.
    adapter.script.createTextureResult = D3DERR_OUTOFVIDEOMEMORY;
    EXPECT_EQ(D3DXCreateTextureFromFile(device.get(), Write("ok.tga", Tga(2, 2, kQuad)), texture, &why),
              D3DERR_OUTOFVIDEOMEMORY);
}
