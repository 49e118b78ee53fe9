// Drawing many worlds in one call on the OpenGL device: the picture must be
// the one the same draws give one world at a time, bit for bit, lit or not.
#include <cstring>
#include <vector>

#include "GLTestSupport.h"

namespace rdv::test {
namespace {

class GLInstancingTest : public GLDeviceTest {
protected:
    void SetUp() override {
        GLDeviceTest::SetUp();
        if (HasFatalFailure()) return;
        // A small lit quad in the z = 0 plane, facing -z, as two triangles.
        const D3DCOLOR c = D3DCOLOR_XRGB(200, 150, 100);
        const Vertex338 quad[6] = {{-0.35f, -0.35f, 0, 0, 0, -1, c, 0, 0}, {-0.35f, 0.35f, 0, 0, 0, -1, c, 0, 1},
                                   {0.35f, 0.35f, 0, 0, 0, -1, c, 1, 1},   {-0.35f, -0.35f, 0, 0, 0, -1, c, 0, 0},
                                   {0.35f, 0.35f, 0, 0, 0, -1, c, 1, 1},   {0.35f, -0.35f, 0, 0, 0, -1, c, 1, 0}};
        ASSERT_EQ(dev_->CreateVertexBuffer(sizeof quad, 0, D3DFVF_ENGINE, D3DPOOL_MANAGED, vb_), D3D_OK);
        BYTE* p = nullptr;
        ASSERT_EQ(vb_->Lock(0, sizeof quad, &p, 0), D3D_OK);
        std::memcpy(p, quad, sizeof quad);
        vb_->Unlock();

        D3DMATRIX view = Identity();
        view.m[3][2] = 2;   // the quads two units in front of the eye
        D3DMATRIX projection{};
        projection.m[0][0] = projection.m[1][1] = 1;
        projection.m[2][2] = 1.0f;
        projection.m[2][3] = 1;
        projection.m[3][2] = -0.1f;
        dev_->SetTransform(D3DTS_VIEW, &view);
        dev_->SetTransform(D3DTS_PROJECTION, &projection);
        dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        dev_->SetVertexShader(D3DFVF_ENGINE);
        dev_->SetStreamSource(0, vb_, sizeof(Vertex338));
    }

    void Light(bool on) {
        dev_->SetRenderState(D3DRS_LIGHTING, on ? 1 : 0);
        if (!on) return;
        D3DLIGHT8 light{};
        light.Type = D3DLIGHT_POINT;
        light.Diffuse = {0.9f, 0.8f, 0.7f, 1};
        light.Ambient = {0.1f, 0.1f, 0.1f, 1};
        light.Position = {0.3f, -0.4f, -1.0f};
        light.Range = 100;
        light.Attenuation0 = 0.5f;
        light.Attenuation1 = 0.3f;
        dev_->SetLight(0, &light);
        dev_->LightEnable(0, 1);
        D3DMATERIAL8 material{};
        material.Diffuse = {1, 1, 1, 1};
        material.Ambient = {1, 1, 1, 1};
        dev_->SetMaterial(&material);
        dev_->SetRenderState(D3DRS_AMBIENT, D3DCOLOR_XRGB(30, 30, 30));
    }

    // Worlds in a few poses (turned, scaled, mirrored) at places across the
    // view, overlapping, so that their order shows where they overlap.
    static std::vector<D3DMATRIX> Worlds() {
        std::vector<D3DMATRIX> worlds;
        for (int i = 0; i < 12; ++i) {
            D3DMATRIX m = Identity();
            const float a = 0.4f * static_cast<float>(i % 4), s = i % 3 == 2 ? -1.3f : 1.0f + 0.1f * static_cast<float>(i);
            m.m[0][0] = std::cos(a) * s;
            m.m[0][1] = std::sin(a) * s;
            m.m[1][0] = -std::sin(a);
            m.m[1][1] = std::cos(a);
            m.m[3][0] = -0.9f + 0.16f * static_cast<float>(i);
            m.m[3][1] = 0.5f - 0.09f * static_cast<float>(i);
            m.m[3][2] = 0.05f * static_cast<float>(i % 5);
            worlds.push_back(m);
        }
        return worlds;
    }

    std::vector<uint8_t> Picture() {
        std::vector<uint8_t> rgba;
        UINT w = 0, h = 0;
        EXPECT_TRUE(ReadBackBuffer(*dev_, rgba, w, h));
        return rgba;
    }

    std::vector<uint8_t> OneByOne(const std::vector<D3DMATRIX>& worlds) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 40), 1.0f, 0);
        for (const D3DMATRIX& m : worlds) {
            dev_->SetTransform(D3DTS_WORLD, &m);
            EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
        }
        return Picture();
    }
    std::vector<uint8_t> Instanced(const std::vector<D3DMATRIX>& worlds) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 40), 1.0f, 0);
        EXPECT_EQ(dev_->DrawPrimitiveInstanced(D3DPT_TRIANGLELIST, 0, 2, worlds.data(),
                                               static_cast<UINT>(worlds.size())),
                  D3D_OK);
        return Picture();
    }

    std::shared_ptr<IDirect3DVertexBuffer8> vb_;
};

TEST_F(GLInstancingTest, DrawsThePictureOfOneDrawPerWorld) {
    const auto worlds = Worlds();
    for (bool lit : {false, true}) {
        Light(lit);
        const auto expected = OneByOne(worlds);
        // Something of every quad shows, and not only the clear colour.
        size_t drawn = 0;
        for (size_t i = 0; i < expected.size(); i += 4) drawn += expected[i + 2] != 40 || expected[i] != 0;
        EXPECT_GT(drawn, 100u);
        EXPECT_TRUE(Instanced(worlds) == expected) << (lit ? "lit" : "unlit");
    }
    // Blended: each quad over the ones before it, in order.
    dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR);
    dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCCOLOR);
    dev_->SetRenderState(D3DRS_ZENABLE, 0);
    EXPECT_TRUE(Instanced(worlds) == OneByOne(worlds)) << "blended";
}

TEST_F(GLInstancingTest, VerticesWrittenAgainAreDrawnAsTheyNowAre) {
    // The quad's shared corners are drawn through indices worked out from
    // its vertices; once they change, so must the indices.
    const auto worlds = Worlds();
    Light(true);
    ASSERT_TRUE(Instanced(worlds) == OneByOne(worlds));
    BYTE* p = nullptr;
    ASSERT_EQ(vb_->Lock(0, 0, &p, 0), D3D_OK);
    auto* v = reinterpret_cast<Vertex338*>(p);
    // The fourth corner no longer repeats the first: a kite, not a square.
    v[3].x = -0.6f;
    v[3].y = -0.1f;
    v[4].color = D3DCOLOR_XRGB(20, 240, 60);
    vb_->Unlock();
    const auto now = OneByOne(worlds);
    EXPECT_TRUE(Instanced(worlds) == now);
    // And back again.
    ASSERT_EQ(vb_->Lock(0, 0, &p, 0), D3D_OK);
    v = reinterpret_cast<Vertex338*>(p);
    v[3] = v[0];
    vb_->Unlock();
    EXPECT_TRUE(Instanced(worlds) == OneByOne(worlds));
    EXPECT_FALSE(OneByOne(worlds) == now);
}

TEST_F(GLInstancingTest, LeavesTheLastWorldAndLaterDrawsUseTheirOwn) {
    const auto worlds = Worlds();
    Light(true);
    Instanced(worlds);
    D3DMATRIX world;
    ASSERT_EQ(dev_->GetTransform(D3DTS_WORLD, &world), D3D_OK);
    EXPECT_EQ(std::memcmp(&world, &worlds.back(), sizeof world), 0);
    // A plain draw after an instanced one reads the world set for it.
    const std::vector<D3DMATRIX> one = {worlds[3]};
    const auto alone = OneByOne(one);
    Instanced(worlds);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 40), 1.0f, 0);
    dev_->SetTransform(D3DTS_WORLD, &worlds[3]);
    dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
    EXPECT_TRUE(Picture() == alone);
}

TEST_F(GLInstancingTest, RefusesWhatItCannotDraw) {
    const auto worlds = Worlds();
    EXPECT_EQ(dev_->DrawPrimitiveInstanced(D3DPT_TRIANGLELIST, 0, 2, nullptr, 3), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev_->DrawPrimitiveInstanced(D3DPT_TRIANGLELIST, 0, 2, worlds.data(), 0), D3DERR_INVALIDCALL);
    // Past the end of the vertex buffer.
    EXPECT_EQ(dev_->DrawPrimitiveInstanced(D3DPT_TRIANGLELIST, 4, 2, worlds.data(), 3), D3DERR_INVALIDCALL);
    dev_->SetStreamSource(0, nullptr, 0);
    EXPECT_EQ(dev_->DrawPrimitiveInstanced(D3DPT_TRIANGLELIST, 0, 2, worlds.data(), 3), D3DERR_INVALIDCALL);
}

} // namespace
} // namespace rdv::test
