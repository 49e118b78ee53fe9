#pragma once
// A hidden SDL window with the OpenGL device on it, for image tests under
// SDL_VIDEODRIVER=offscreen.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "platform/d3d/D3D8.h"
#include "platform/d3d/Factory.h"
#include "platform/d3d/GLDevice.h"

namespace rdv::test {

// The engine's vertex (format 338).
struct Vertex338 {
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR color;
    float u, v;
};

struct Rgba {
    int r, g, b, a;
};

inline int ToByte(double v) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); }

class GLDeviceTest : public ::testing::Test {
public:
    static constexpr UINT kSize = 32;

protected:

    // Video and the adapter (with its probe context) are made once for all
    // tests; each test gets its own window and device.
    static void SetUpTestSuite() {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) sharedD3d_ = CreateGLDirect3D8();
    }
    static void TearDownTestSuite() {
        sharedD3d_.reset();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    void SetUp() override {
        ASSERT_NE(sharedD3d_, nullptr) << SDL_GetError();
        d3d_ = sharedD3d_;
        window_ = SDL_CreateWindow("gl test", 0, 0, kSize, kSize, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        ASSERT_NE(window_, nullptr) << SDL_GetError();
        D3DPRESENT_PARAMETERS pp = Params(kSize, kSize);
        ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, window_, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, dev_),
                  D3D_OK);
        ASSERT_NE(dev_, nullptr);
    }

    void TearDown() override {
        dev_.reset();
        d3d_.reset();
        if (window_) SDL_DestroyWindow(window_);
    }

    static D3DPRESENT_PARAMETERS Params(UINT w, UINT h) {
        D3DPRESENT_PARAMETERS pp;
        pp.BackBufferWidth = w;
        pp.BackBufferHeight = h;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.BackBufferCount = 1;
        pp.SwapEffect = D3DSWAPEFFECT_COPY;
        pp.Windowed = 1;
        pp.EnableAutoDepthStencil = 1;
        pp.AutoDepthStencilFormat = D3DFMT_D24S8;
        return pp;
    }

    static D3DMATRIX Identity() {
        D3DMATRIX m;
        for (int i = 0; i < 4; ++i) m.m[i][i] = 1;
        return m;
    }

    // Screen-filling geometry drawn with identity transforms: positions are
    // device coordinates, z 0.5.
    void IdentityTransforms() {
        const D3DMATRIX id = Identity();
        dev_->SetTransform(D3DTS_WORLD, &id);
        dev_->SetTransform(D3DTS_VIEW, &id);
        dev_->SetTransform(D3DTS_PROJECTION, &id);
    }
    // Vertices where they are given, unlit, both sides drawn.
    void PlainDrawing() {
        IdentityTransforms();
        dev_->SetRenderState(D3DRS_LIGHTING, 0);
        dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }

    // A clockwise (front-facing) triangle covering the centre of the screen.
    static std::vector<Vertex338> CentreTriangle(D3DCOLOR c, bool clockwise = true) {
        std::vector<Vertex338> v = {{-0.9f, -0.9f, 0.5f, 0, 0, -1, c, 0, 0},
                                    {0.0f, 0.9f, 0.5f, 0, 0, -1, c, 0, 0},
                                    {0.9f, -0.9f, 0.5f, 0, 0, -1, c, 0, 0}};
        if (!clockwise) std::swap(v[1], v[2]);
        return v;
    }

    HRESULT DrawUP(const std::vector<Vertex338>& v, D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST) {
        dev_->SetVertexShader(D3DFVF_ENGINE);
        const UINT prims = type == D3DPT_TRIANGLELIST ? static_cast<UINT>(v.size() / 3) : static_cast<UINT>(v.size() - 2);
        return dev_->DrawPrimitiveUP(type, prims, v.data(), sizeof(Vertex338));
    }

    Rgba Pixel(UINT x, UINT y) {
        std::vector<uint8_t> rgba;
        UINT w = 0, h = 0;
        EXPECT_TRUE(ReadBackBuffer(*dev_, rgba, w, h));
        if (x >= w || y >= h) return {-1, -1, -1, -1};
        const uint8_t* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
        return {p[0], p[1], p[2], p[3]};
    }

    static inline std::shared_ptr<IDirect3D8> sharedD3d_;
    SDL_Window* window_ = nullptr;
    std::shared_ptr<IDirect3D8> d3d_;
    std::shared_ptr<IDirect3DDevice8> dev_;
};

#define EXPECT_RGB_NEAR(px, R, G, B, tol)                                                                   \
    do {                                                                                                   \
        const ::rdv::test::Rgba p_ = (px);                                                                 \
        EXPECT_NEAR(p_.r, (R), (tol)) << "red";                                                            \
        EXPECT_NEAR(p_.g, (G), (tol)) << "green";                                                          \
        EXPECT_NEAR(p_.b, (B), (tol)) << "blue";                                                           \
    } while (0)

} // namespace rdv::test
