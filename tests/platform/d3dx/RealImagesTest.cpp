// Textures from images other programs wrote: the png, jpg, bmp and tga files
// of Debian's assimp-testmodels. Each decodes to a texture of its own size
// whose texels are not all one colour; cut short, each fails cleanly.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/d3d/Recording.h"
#include "platform/d3dx/D3DX8Tex.h"

using namespace rdv;

namespace {

const std::filesystem::path kModels = "/usr/share/assimp/models";

// A few images of each kind, from several exporters.
const char* const kImages[] = {
    "3DS/test.png",           "LWO/LWO2/uvtest.png",        "IRRMesh/1.png",
    "3DS/IMAGE1.jpg",         "Collada/duck_sample.jpg",    "IRRMesh/brownground_1-1.jpg",
    "Ogre/TheThing/Reference.JPG",
    "MD2/faerie2.bmp",        "MD2/sydney.bmp",
    "SMD/holygrail.tga",      "Collada/duckCM.tga",         "X/bottom.tga",
};

class RealImages : public ::testing::Test {
protected:
    void SetUp() override {
        D3DPRESENT_PARAMETERS p;
        ASSERT_EQ(adapter.CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &p, device), D3D_OK);
    }
    RecordingDirect3D8 adapter;
    std::shared_ptr<IDirect3DDevice8> device;
};

TEST_F(RealImages, EveryImageLoadsWithItsPicture) {
    for (const char* name : kImages) {
        const auto file = kModels / name;
        ASSERT_TRUE(std::filesystem::exists(file)) << file << ": run scripts/install-deps";
        std::shared_ptr<IDirect3DTexture8> texture;
        std::string why;
        ASSERT_EQ(D3DXCreateTextureFromFile(device.get(), file, texture, &why), D3D_OK) << name << ": " << why;
        auto* t = static_cast<RecordingTexture*>(texture.get());
        D3DSURFACE_DESC desc;
        ASSERT_EQ(t->GetLevelDesc(0, &desc), D3D_OK);
        EXPECT_GT(desc.Width, 1u) << name;
        EXPECT_GT(desc.Height, 1u) << name;
        EXPECT_GT(t->GetLevelCount(), 1u) << name;
        std::set<uint32_t> colours;
        for (UINT y = 0; y < desc.Height && colours.size() < 2; y += 7)
            for (UINT x = 0; x < desc.Width; x += 7) colours.insert(t->Texel(x, y) & 0x00FFFFFFu);
        EXPECT_GE(colours.size(), 2u) << name << " decoded to one colour";
    }
}

TEST_F(RealImages, CutShortTheyFailInsteadOfReadingOn) {
    const auto dir = std::filesystem::temp_directory_path() / ("rdv_realimages_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    for (const char* name : kImages) {
        std::ifstream in(kModels / name, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 64u) << name;
        for (size_t keep : {size_t(8), size_t(40), bytes.size() / 3}) {
            const auto cut = dir / ("cut" + std::filesystem::path(name).extension().string());
            std::ofstream(cut, std::ios::binary | std::ios::trunc) << bytes.substr(0, keep);
            std::shared_ptr<IDirect3DTexture8> texture;
            const HRESULT hr = D3DXCreateTextureFromFile(device.get(), cut, texture);
            // Some decoders fill the missing part; those that cannot say so.
            if (FAILED(hr)) EXPECT_EQ(texture, nullptr) << name << " cut to " << keep;
        }
    }
    std::filesystem::remove_all(dir);
}

} // namespace
