// A texture's lower mip levels stay out of GL until a stage asks for mip
// levels; what a lock reads and what a draw shows are the same before and
// after they move in, whenever that happens.
#include <cstring>

#include "GLTestSupport.h"

namespace rdv::test {
namespace {

constexpr UINT kLevels = 4;   // 8 x 8 down to 1 x 1

class GLMipLevelsTest : public GLDeviceTest {
protected:
    void SetUp() override {
        GLDeviceTest::SetUp();
        PlainDrawing();
    }

    // An 8 x 8 texture with every level filled with its own texel.
    std::shared_ptr<IDirect3DTexture8> Levels(const uint32_t (&texels)[kLevels]) {
        std::shared_ptr<IDirect3DTexture8> t;
        EXPECT_EQ(dev_->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t), D3D_OK);
        EXPECT_EQ(t->GetLevelCount(), kLevels);
        for (UINT i = 0; i < kLevels; ++i) Fill(*t, i, texels[i]);
        return t;
    }

    static void Fill(IDirect3DTexture8& t, UINT level, uint32_t texel) {
        D3DSURFACE_DESC d;
        ASSERT_EQ(t.GetLevelDesc(level, &d), D3D_OK);
        D3DLOCKED_RECT r;
        ASSERT_EQ(t.LockRect(level, &r, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < d.Height; ++y)
            for (UINT x = 0; x < d.Width; ++x)
                std::memcpy(static_cast<uint8_t*>(r.pBits) + y * r.Pitch + 4 * x, &texel, 4);
        ASSERT_EQ(t.UnlockRect(level), D3D_OK);
    }

    // Every texel of the level as a lock reads it.
    static std::vector<uint32_t> Read(IDirect3DTexture8& t, UINT level) {
        D3DSURFACE_DESC d;
        EXPECT_EQ(t.GetLevelDesc(level, &d), D3D_OK);
        D3DLOCKED_RECT r;
        std::vector<uint32_t> out;
        if (t.LockRect(level, &r, nullptr, D3DLOCK_READONLY) != D3D_OK) return out;
        for (UINT y = 0; y < d.Height; ++y)
            for (UINT x = 0; x < d.Width; ++x) {
                uint32_t v;
                std::memcpy(&v, static_cast<const uint8_t*>(r.pBits) + y * r.Pitch + 4 * x, 4);
                out.push_back(v);
            }
        t.UnlockRect(level);
        return out;
    }

    // The centre pixel of a screen-filling quad drawn with the texture,
    // sampled from level `level` and below (a mip filter) or level 0 (none).
    Rgba Draw(const std::shared_ptr<IDirect3DTexture8>& t, DWORD level, bool mipFilter) {
        dev_->SetTexture(0, t);
        dev_->SetTextureStageState(0, D3DTSS_MIPFILTER, mipFilter ? D3DTEXF_POINT : D3DTEXF_NONE);
        dev_->SetTextureStageState(0, D3DTSS_MAXMIPLEVEL, level);
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        const D3DCOLOR w = D3DCOLOR_XRGB(255, 255, 255);
        const std::vector<Vertex338> quad = {{-1, 1, 0.5f, 0, 0, -1, w, 0, 0},
                                             {1, 1, 0.5f, 0, 0, -1, w, 1, 0},
                                             {-1, -1, 0.5f, 0, 0, -1, w, 0, 1},
                                             {1, -1, 0.5f, 0, 0, -1, w, 1, 1}};
        EXPECT_EQ(DrawUP(quad, D3DPT_TRIANGLESTRIP), D3D_OK);
        return Pixel(kSize / 2, kSize / 2);
    }
};

const uint32_t kColours[kLevels] = {0xFFC00000u, 0xFF00B000u, 0xFF0000A0u, 0xFF909090u};

TEST_F(GLMipLevelsTest, LevelsWrittenBeforeMipsAreWantedAreDrawnAfter) {
    auto t = Levels(kColours);
    EXPECT_RGB_NEAR(Draw(t, 0, false), 0xC0, 0, 0, 1);
    // Read back from where they wait, level by level.
    for (UINT i = 0; i < kLevels; ++i) EXPECT_EQ(Read(*t, i), std::vector<uint32_t>((8 >> i) * (8 >> i), kColours[i]));
    // A level rewritten while it waits keeps the new texels.
    Fill(*t, 2, 0xFF00A0A0u);
    EXPECT_EQ(Read(*t, 2)[0], 0xFF00A0A0u);

    // The first stage asking for mip levels brings them in.
    EXPECT_RGB_NEAR(Draw(t, 1, true), 0, 0xB0, 0, 1);
    EXPECT_RGB_NEAR(Draw(t, 2, true), 0, 0xA0, 0xA0, 1);
    EXPECT_RGB_NEAR(Draw(t, 3, true), 0x90, 0x90, 0x90, 1);
    EXPECT_RGB_NEAR(Draw(t, 0, false), 0xC0, 0, 0, 1);
    EXPECT_EQ(Read(*t, 1)[3], kColours[1]);

    // Textures made from now on hold their levels in GL from the start.
    const uint32_t other[kLevels] = {0xFF102030u, 0xFF405060u, 0xFF708090u, 0xFFA0B0C0u};
    auto u = Levels(other);
    EXPECT_RGB_NEAR(Draw(u, 2, true), 0x70, 0x80, 0x90, 1);
    EXPECT_EQ(Read(*u, 3), std::vector<uint32_t>(1, other[3]));
}

// A grey texture is stored narrow; a coloured texel in a waiting level
// widens it, and every level comes through both moves unchanged.
TEST_F(GLMipLevelsTest, AGreyTextureWidenedWhileItsLevelsWaitKeepsThem) {
    const uint32_t grey[kLevels] = {0xFF404040u, 0x80808080u, 0xFFC0C0C0u, 0x20FFFFFFu};
    auto t = Levels(grey);
    EXPECT_RGB_NEAR(Draw(t, 0, false), 0x40, 0x40, 0x40, 1);
    Fill(*t, 3, 0xFF3060F0u);   // coloured: the texture widens
    Fill(*t, 0, 0xFF50A0F0u);
    EXPECT_RGB_NEAR(Draw(t, 0, false), 0x50, 0xA0, 0xF0, 1);
    EXPECT_EQ(Read(*t, 1)[0], grey[1]);
    EXPECT_RGB_NEAR(Draw(t, 2, true), 0xC0, 0xC0, 0xC0, 1);
    EXPECT_RGB_NEAR(Draw(t, 3, true), 0x30, 0x60, 0xF0, 1);
    EXPECT_EQ(Read(*t, 0)[10], 0xFF50A0F0u);
    EXPECT_EQ(Read(*t, 1)[1], grey[1]);
    EXPECT_EQ(Read(*t, 2)[2], grey[2]);
}

// A level never written reads as zeros wherever it is held.
TEST_F(GLMipLevelsTest, LevelsNeverWrittenReadAsZeros) {
    std::shared_ptr<IDirect3DTexture8> t;
    ASSERT_EQ(dev_->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t), D3D_OK);
    Fill(*t, 0, 0xFF112233u);
    EXPECT_EQ(Read(*t, 1), std::vector<uint32_t>(16, 0u));
    dev_->SetTextureStageState(1, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
    EXPECT_EQ(Read(*t, 1), std::vector<uint32_t>(16, 0u));
    EXPECT_EQ(Read(*t, 0)[63], 0xFF112233u);
}

} // namespace
} // namespace rdv::test
