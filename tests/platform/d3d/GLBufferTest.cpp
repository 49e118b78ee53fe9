// Vertex data written once lives in the GL buffer alone; a later lock reads
// it back, so what a lock sees and what draws are the same as with a copy.
// Index buffers keep their copy: draws check every index against it.
#include <cstring>

#include "GLTestSupport.h"

namespace rdv::test {
namespace {

class GLBufferTest : public GLDeviceTest {
protected:
    void SetUp() override {
        GLDeviceTest::SetUp();
        PlainDrawing();
        dev_->SetVertexShader(D3DFVF_ENGINE);
    }

    // A buffer of `slots` triangles' room with `triangle` written into the last.
    std::shared_ptr<IDirect3DVertexBuffer8> BufferWith(const std::vector<Vertex338>& triangle, UINT slots = 1) {
        const UINT size = static_cast<UINT>(triangle.size() * sizeof(Vertex338));
        std::shared_ptr<IDirect3DVertexBuffer8> vb;
        EXPECT_EQ(dev_->CreateVertexBuffer(slots * size, 0, D3DFVF_ENGINE, D3DPOOL_MANAGED, vb), D3D_OK);
        if (vb) Write(*vb, (slots - 1) * size, triangle.data(), size);
        return vb;
    }

    void Write(IDirect3DVertexBuffer8& vb, UINT offset, const void* data, UINT size) {
        BYTE* bytes = nullptr;
        ASSERT_EQ(vb.Lock(offset, size, &bytes, 0), D3D_OK);
        std::memcpy(bytes, data, size);
        ASSERT_EQ(vb.Unlock(), D3D_OK);
    }

    Rgba DrawCentre(const std::shared_ptr<IDirect3DVertexBuffer8>& vb) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        dev_->SetStreamSource(0, vb, sizeof(Vertex338));
        EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
        return Pixel(kSize / 2, kSize / 2);
    }
};

TEST_F(GLBufferTest, VerticesWrittenOnceAreReadBackByALock) {
    const auto red = CentreTriangle(D3DCOLOR_XRGB(200, 0, 0));
    const UINT size = static_cast<UINT>(red.size() * sizeof(Vertex338));
    const auto vb = BufferWith(red);
    ASSERT_NE(vb, nullptr);
    EXPECT_TRUE(HeldInGLOnly(*vb));
    EXPECT_RGB_NEAR(DrawCentre(vb), 200, 0, 0, 1);

    // A read-only lock sees the bytes written, from GL.
    BYTE* bytes = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &bytes, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(std::memcmp(bytes, red.data(), size), 0);
    ASSERT_EQ(vb->Unlock(), D3D_OK);

    // Rewriting only the middle vertex keeps the others as read back.
    auto second = red;
    second[1].color = D3DCOLOR_XRGB(0, 0, 0);
    Write(*vb, sizeof(Vertex338), &second[1], sizeof(Vertex338));
    EXPECT_FALSE(HeldInGLOnly(*vb));   // rewritten: a copy is kept from now on
    ASSERT_EQ(vb->Lock(0, 0, &bytes, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(std::memcmp(bytes, second.data(), size), 0);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    // The centre lies between the two red corners and the black top.
    const Rgba mixed = DrawCentre(vb);
    EXPECT_GT(mixed.r, 20);
    EXPECT_LT(mixed.r, 180);
    EXPECT_EQ(mixed.g, 0);
}

TEST_F(GLBufferTest, AFirstLockOfPartOfTheBufferKeepsTheRestZero) {
    const auto green = CentreTriangle(D3DCOLOR_XRGB(0, 180, 0));
    const UINT size = static_cast<UINT>(green.size() * sizeof(Vertex338));
    const auto vb = BufferWith(green, 2);
    ASSERT_NE(vb, nullptr);
    EXPECT_TRUE(HeldInGLOnly(*vb));
    BYTE* bytes = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &bytes, D3DLOCK_READONLY), D3D_OK);
    const std::vector<BYTE> zeros(size, 0);
    EXPECT_EQ(std::memcmp(bytes, zeros.data(), size), 0);
    EXPECT_EQ(std::memcmp(bytes + size, green.data(), size), 0);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    dev_->SetStreamSource(0, vb, sizeof(Vertex338));
    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 3, 1), D3D_OK);
    EXPECT_RGB_NEAR(Pixel(kSize / 2, kSize / 2), 0, 180, 0, 1);
    // Draws past the end are still refused without a copy to measure.
    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 4, 1), D3DERR_INVALIDCALL);
}

TEST_F(GLBufferTest, IndexBuffersKeepTheirCopyForTheIndexCheck) {
    const auto blue = CentreTriangle(D3DCOLOR_XRGB(0, 0, 160));
    const auto vb = BufferWith(blue);
    ASSERT_NE(vb, nullptr);
    std::shared_ptr<IDirect3DIndexBuffer8> ib;
    ASSERT_EQ(dev_->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, ib), D3D_OK);
    const uint16_t indices[6] = {0, 1, 2, 0, 1, 3};   // the second triangle reads past the vertices
    BYTE* bytes = nullptr;
    ASSERT_EQ(ib->Lock(0, 0, &bytes, 0), D3D_OK);
    std::memcpy(bytes, indices, sizeof indices);
    ASSERT_EQ(ib->Unlock(), D3D_OK);
    EXPECT_FALSE(HeldInGLOnly(*ib));
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    dev_->SetStreamSource(0, vb, sizeof(Vertex338));
    dev_->SetIndices(ib, 0);
    EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 1), D3D_OK);
    EXPECT_RGB_NEAR(Pixel(kSize / 2, kSize / 2), 0, 0, 160, 1);
    EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 3, 1), D3DERR_INVALIDCALL);
}

} // namespace
} // namespace rdv::test
