#pragma once
// The Direct3D 8 interface the engine draws through: Direct3D 8's own names
// and numeric values for results, formats, states and capability bits, and
// abstract adapter, device, texture and buffer classes. Two devices implement
// it: the OpenGL device (GLDevice.h) and the recording device used by tests.
//
// Differences from COM Direct3D 8: objects are owned by std::shared_ptr (no
// AddRef/Release; out-parameters are std::shared_ptr<T>&), window handles are
// SDL_Window*, and float render states are passed bit-cast with FtoDW.
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/d3dx/D3DX8Math.h"

struct SDL_Window;

namespace rdv {

using HRESULT = int32_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using INT = int32_t;
using LONG = int32_t;
using BOOL = int32_t;
using BYTE = uint8_t;
using WORD = uint16_t;
using D3DCOLOR = uint32_t;

using D3DMATRIX = D3DXMATRIX;
using D3DVECTOR = D3DXVECTOR3;

// ---------------------------------------------------------------- results
constexpr HRESULT MakeHr(uint32_t v) { return static_cast<HRESULT>(v); }
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT D3D_OK = 0;
inline constexpr HRESULT E_FAIL = MakeHr(0x80004005);
inline constexpr HRESULT E_NOTIMPL = MakeHr(0x80004001);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHr(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHr(0x80070057);
inline constexpr HRESULT D3DERR_WRONGTEXTUREFORMAT = MakeHr(0x88760818);
inline constexpr HRESULT D3DERR_UNSUPPORTEDCOLOROPERATION = MakeHr(0x88760819);
inline constexpr HRESULT D3DERR_UNSUPPORTEDCOLORARG = MakeHr(0x8876081A);
inline constexpr HRESULT D3DERR_UNSUPPORTEDALPHAOPERATION = MakeHr(0x8876081B);
inline constexpr HRESULT D3DERR_UNSUPPORTEDALPHAARG = MakeHr(0x8876081C);
inline constexpr HRESULT D3DERR_TOOMANYOPERATIONS = MakeHr(0x8876081D);
inline constexpr HRESULT D3DERR_CONFLICTINGTEXTUREFILTER = MakeHr(0x8876081E);
inline constexpr HRESULT D3DERR_UNSUPPORTEDFACTORVALUE = MakeHr(0x8876081F);
inline constexpr HRESULT D3DERR_CONFLICTINGRENDERSTATE = MakeHr(0x88760821);
inline constexpr HRESULT D3DERR_UNSUPPORTEDTEXTUREFILTER = MakeHr(0x88760822);
inline constexpr HRESULT D3DERR_CONFLICTINGTEXTUREPALETTE = MakeHr(0x88760826);
inline constexpr HRESULT D3DERR_DRIVERINTERNALERROR = MakeHr(0x88760827);
inline constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = MakeHr(0x8876017C);
inline constexpr HRESULT D3DERR_NOTFOUND = MakeHr(0x88760866);
inline constexpr HRESULT D3DERR_MOREDATA = MakeHr(0x88760867);
inline constexpr HRESULT D3DERR_DEVICELOST = MakeHr(0x88760868);
inline constexpr HRESULT D3DERR_DEVICENOTRESET = MakeHr(0x88760869);
inline constexpr HRESULT D3DERR_NOTAVAILABLE = MakeHr(0x8876086A);
inline constexpr HRESULT D3DERR_INVALIDDEVICE = MakeHr(0x8876086B);
inline constexpr HRESULT D3DERR_INVALIDCALL = MakeHr(0x8876086C);
inline constexpr HRESULT D3DERR_DRIVERINVALIDCALL = MakeHr(0x8876086D);

inline constexpr UINT D3DADAPTER_DEFAULT = 0;
inline constexpr DWORD D3DENUM_NO_WHQL_LEVEL = 2;

// ---------------------------------------------------------------- helpers
constexpr D3DCOLOR D3DCOLOR_ARGB(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return ((a & 0xff) << 24) | ((r & 0xff) << 16) | ((g & 0xff) << 8) | (b & 0xff);
}
constexpr D3DCOLOR D3DCOLOR_XRGB(uint32_t r, uint32_t g, uint32_t b) { return D3DCOLOR_ARGB(0xff, r, g, b); }
constexpr D3DCOLOR D3DCOLOR_RGBA(uint32_t r, uint32_t g, uint32_t b, uint32_t a) { return D3DCOLOR_ARGB(a, r, g, b); }
constexpr D3DCOLOR D3DCOLOR_COLORVALUE(float r, float g, float b, float a) {
    return D3DCOLOR_ARGB(static_cast<uint32_t>(a * 255.f), static_cast<uint32_t>(r * 255.f),
                         static_cast<uint32_t>(g * 255.f), static_cast<uint32_t>(b * 255.f));
}
// Float render states (FOGDENSITY, FOGSTART ...) travel as their bit pattern.
inline DWORD FtoDW(float f) { DWORD d; std::memcpy(&d, &f, 4); return d; }
inline float DWtoF(DWORD d) { float f; std::memcpy(&f, &d, 4); return f; }

constexpr DWORD D3DPS_VERSION(DWORD major, DWORD minor) { return 0xFFFF0000u | (major << 8) | minor; }
constexpr DWORD D3DVS_VERSION(DWORD major, DWORD minor) { return 0xFFFE0000u | (major << 8) | minor; }
constexpr DWORD D3DSHADER_VERSION_MAJOR(DWORD v) { return (v >> 8) & 0xff; }
constexpr DWORD D3DSHADER_VERSION_MINOR(DWORD v) { return v & 0xff; }

// ---------------------------------------------------------------- enums
enum D3DFORMAT : uint32_t {
    D3DFMT_UNKNOWN = 0,
    D3DFMT_R8G8B8 = 20, D3DFMT_A8R8G8B8 = 21, D3DFMT_X8R8G8B8 = 22, D3DFMT_R5G6B5 = 23,
    D3DFMT_X1R5G5B5 = 24, D3DFMT_A1R5G5B5 = 25, D3DFMT_A4R4G4B4 = 26, D3DFMT_R3G3B2 = 27,
    D3DFMT_A8 = 28, D3DFMT_A8R3G3B2 = 29, D3DFMT_X4R4G4B4 = 30,
    D3DFMT_A8P8 = 40, D3DFMT_P8 = 41, D3DFMT_L8 = 50, D3DFMT_A8L8 = 51, D3DFMT_A4L4 = 52,
    D3DFMT_V8U8 = 60, D3DFMT_L6V5U5 = 61, D3DFMT_X8L8V8U8 = 62, D3DFMT_Q8W8V8U8 = 63,
    D3DFMT_V16U16 = 64, D3DFMT_W11V11U10 = 65,
    D3DFMT_D16_LOCKABLE = 70, D3DFMT_D32 = 71, D3DFMT_D15S1 = 73, D3DFMT_D24S8 = 75,
    D3DFMT_D24X8 = 77, D3DFMT_D24X4S4 = 79, D3DFMT_D16 = 80,
    D3DFMT_VERTEXDATA = 100, D3DFMT_INDEX16 = 101, D3DFMT_INDEX32 = 102,
    D3DFMT_DXT1 = 0x31545844, D3DFMT_DXT3 = 0x33545844, D3DFMT_DXT5 = 0x35545844,
};

enum D3DDEVTYPE : uint32_t { D3DDEVTYPE_HAL = 1, D3DDEVTYPE_REF = 2, D3DDEVTYPE_SW = 3 };

enum D3DMULTISAMPLE_TYPE : uint32_t {
    D3DMULTISAMPLE_NONE = 0, D3DMULTISAMPLE_2_SAMPLES = 2, D3DMULTISAMPLE_3_SAMPLES, D3DMULTISAMPLE_4_SAMPLES,
    D3DMULTISAMPLE_5_SAMPLES, D3DMULTISAMPLE_6_SAMPLES, D3DMULTISAMPLE_7_SAMPLES, D3DMULTISAMPLE_8_SAMPLES,
    D3DMULTISAMPLE_9_SAMPLES, D3DMULTISAMPLE_10_SAMPLES, D3DMULTISAMPLE_11_SAMPLES, D3DMULTISAMPLE_12_SAMPLES,
    D3DMULTISAMPLE_13_SAMPLES, D3DMULTISAMPLE_14_SAMPLES, D3DMULTISAMPLE_15_SAMPLES, D3DMULTISAMPLE_16_SAMPLES,
};

enum D3DSWAPEFFECT : uint32_t {
    D3DSWAPEFFECT_DISCARD = 1, D3DSWAPEFFECT_FLIP = 2, D3DSWAPEFFECT_COPY = 3, D3DSWAPEFFECT_COPY_VSYNC = 4,
};

inline constexpr DWORD D3DPRESENT_RATE_DEFAULT = 0;
inline constexpr DWORD D3DPRESENT_INTERVAL_DEFAULT = 0;
inline constexpr DWORD D3DPRESENT_INTERVAL_ONE = 1;
inline constexpr DWORD D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000u;
inline constexpr DWORD D3DPRESENTFLAG_LOCKABLE_BACKBUFFER = 1;

// Behaviour flags of CreateDevice.
inline constexpr DWORD D3DCREATE_FPU_PRESERVE = 0x02;
inline constexpr DWORD D3DCREATE_MULTITHREADED = 0x04;
inline constexpr DWORD D3DCREATE_PUREDEVICE = 0x10;
inline constexpr DWORD D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
inline constexpr DWORD D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40;
inline constexpr DWORD D3DCREATE_MIXED_VERTEXPROCESSING = 0x80;

enum D3DRENDERSTATETYPE : uint32_t {
    D3DRS_ZENABLE = 7, D3DRS_FILLMODE = 8, D3DRS_SHADEMODE = 9, D3DRS_LINEPATTERN = 10,
    D3DRS_ZWRITEENABLE = 14, D3DRS_ALPHATESTENABLE = 15, D3DRS_LASTPIXEL = 16,
    D3DRS_SRCBLEND = 19, D3DRS_DESTBLEND = 20, D3DRS_CULLMODE = 22, D3DRS_ZFUNC = 23,
    D3DRS_ALPHAREF = 24, D3DRS_ALPHAFUNC = 25, D3DRS_DITHERENABLE = 26, D3DRS_ALPHABLENDENABLE = 27,
    D3DRS_FOGENABLE = 28, D3DRS_SPECULARENABLE = 29, D3DRS_ZVISIBLE = 30,
    D3DRS_FOGCOLOR = 34, D3DRS_FOGTABLEMODE = 35, D3DRS_FOGSTART = 36, D3DRS_FOGEND = 37,
    D3DRS_FOGDENSITY = 38, D3DRS_EDGEANTIALIAS = 40, D3DRS_ZBIAS = 47, D3DRS_RANGEFOGENABLE = 48,
    D3DRS_STENCILENABLE = 52, D3DRS_STENCILFAIL = 53, D3DRS_STENCILZFAIL = 54, D3DRS_STENCILPASS = 55,
    D3DRS_STENCILFUNC = 56, D3DRS_STENCILREF = 57, D3DRS_STENCILMASK = 58, D3DRS_STENCILWRITEMASK = 59,
    D3DRS_TEXTUREFACTOR = 60,
    D3DRS_WRAP0 = 128, D3DRS_WRAP1, D3DRS_WRAP2, D3DRS_WRAP3, D3DRS_WRAP4, D3DRS_WRAP5, D3DRS_WRAP6, D3DRS_WRAP7,
    D3DRS_CLIPPING = 136, D3DRS_LIGHTING = 137, D3DRS_AMBIENT = 139, D3DRS_FOGVERTEXMODE = 140,
    D3DRS_COLORVERTEX = 141, D3DRS_LOCALVIEWER = 142, D3DRS_NORMALIZENORMALS = 143,
    D3DRS_DIFFUSEMATERIALSOURCE = 145, D3DRS_SPECULARMATERIALSOURCE = 146,
    D3DRS_AMBIENTMATERIALSOURCE = 147, D3DRS_EMISSIVEMATERIALSOURCE = 148,
    D3DRS_VERTEXBLEND = 151, D3DRS_CLIPPLANEENABLE = 152, D3DRS_SOFTWAREVERTEXPROCESSING = 153,
    D3DRS_POINTSIZE = 154, D3DRS_POINTSIZE_MIN = 155, D3DRS_POINTSPRITEENABLE = 156,
    D3DRS_POINTSCALEENABLE = 157, D3DRS_POINTSCALE_A = 158, D3DRS_POINTSCALE_B = 159, D3DRS_POINTSCALE_C = 160,
    D3DRS_MULTISAMPLEANTIALIAS = 161, D3DRS_MULTISAMPLEMASK = 162, D3DRS_PATCHEDGESTYLE = 163,
    D3DRS_PATCHSEGMENTS = 164, D3DRS_DEBUGMONITORTOKEN = 165, D3DRS_POINTSIZE_MAX = 166,
    D3DRS_INDEXEDVERTEXBLENDENABLE = 167, D3DRS_COLORWRITEENABLE = 168, D3DRS_TWEENFACTOR = 170,
    D3DRS_BLENDOP = 171, D3DRS_POSITIONORDER = 172, D3DRS_NORMALORDER = 173,
};
inline constexpr uint32_t D3DRS_COUNT = 174;   // size of a table indexed by render state

enum D3DZBUFFERTYPE : uint32_t { D3DZB_FALSE = 0, D3DZB_TRUE = 1, D3DZB_USEW = 2 };
enum D3DFILLMODE : uint32_t { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };
enum D3DSHADEMODE : uint32_t { D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2, D3DSHADE_PHONG = 3 };
enum D3DBLEND : uint32_t {
    D3DBLEND_ZERO = 1, D3DBLEND_ONE = 2, D3DBLEND_SRCCOLOR = 3, D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5, D3DBLEND_INVSRCALPHA = 6, D3DBLEND_DESTALPHA = 7, D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9, D3DBLEND_INVDESTCOLOR = 10, D3DBLEND_SRCALPHASAT = 11,
    D3DBLEND_BOTHSRCALPHA = 12, D3DBLEND_BOTHINVSRCALPHA = 13,
};
enum D3DBLENDOP : uint32_t {
    D3DBLENDOP_ADD = 1, D3DBLENDOP_SUBTRACT = 2, D3DBLENDOP_REVSUBTRACT = 3, D3DBLENDOP_MIN = 4, D3DBLENDOP_MAX = 5,
};
enum D3DCULL : uint32_t { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum D3DCMPFUNC : uint32_t {
    D3DCMP_NEVER = 1, D3DCMP_LESS = 2, D3DCMP_EQUAL = 3, D3DCMP_LESSEQUAL = 4,
    D3DCMP_GREATER = 5, D3DCMP_NOTEQUAL = 6, D3DCMP_GREATEREQUAL = 7, D3DCMP_ALWAYS = 8,
};
enum D3DSTENCILOP : uint32_t {
    D3DSTENCILOP_KEEP = 1, D3DSTENCILOP_ZERO = 2, D3DSTENCILOP_REPLACE = 3, D3DSTENCILOP_INCRSAT = 4,
    D3DSTENCILOP_DECRSAT = 5, D3DSTENCILOP_INVERT = 6, D3DSTENCILOP_INCR = 7, D3DSTENCILOP_DECR = 8,
};
enum D3DFOGMODE : uint32_t { D3DFOG_NONE = 0, D3DFOG_EXP = 1, D3DFOG_EXP2 = 2, D3DFOG_LINEAR = 3 };
enum D3DMATERIALCOLORSOURCE : uint32_t { D3DMCS_MATERIAL = 0, D3DMCS_COLOR1 = 1, D3DMCS_COLOR2 = 2 };

enum D3DTEXTURESTAGESTATETYPE : uint32_t {
    D3DTSS_COLOROP = 1, D3DTSS_COLORARG1 = 2, D3DTSS_COLORARG2 = 3,
    D3DTSS_ALPHAOP = 4, D3DTSS_ALPHAARG1 = 5, D3DTSS_ALPHAARG2 = 6,
    D3DTSS_BUMPENVMAT00 = 7, D3DTSS_BUMPENVMAT01 = 8, D3DTSS_BUMPENVMAT10 = 9, D3DTSS_BUMPENVMAT11 = 10,
    D3DTSS_TEXCOORDINDEX = 11, D3DTSS_ADDRESSU = 13, D3DTSS_ADDRESSV = 14, D3DTSS_BORDERCOLOR = 15,
    D3DTSS_MAGFILTER = 16, D3DTSS_MINFILTER = 17, D3DTSS_MIPFILTER = 18, D3DTSS_MIPMAPLODBIAS = 19,
    D3DTSS_MAXMIPLEVEL = 20, D3DTSS_MAXANISOTROPY = 21, D3DTSS_BUMPENVLSCALE = 22, D3DTSS_BUMPENVLOFFSET = 23,
    D3DTSS_TEXTURETRANSFORMFLAGS = 24, D3DTSS_ADDRESSW = 25, D3DTSS_COLORARG0 = 26, D3DTSS_ALPHAARG0 = 27,
    D3DTSS_RESULTARG = 28,
};
inline constexpr uint32_t D3DTSS_COUNT = 29;   // size of a table indexed by stage state
inline constexpr uint32_t D3DMAXTEXTURESTAGES = 8;

enum D3DTEXTUREOP : uint32_t {
    D3DTOP_DISABLE = 1, D3DTOP_SELECTARG1 = 2, D3DTOP_SELECTARG2 = 3, D3DTOP_MODULATE = 4,
    D3DTOP_MODULATE2X = 5, D3DTOP_MODULATE4X = 6, D3DTOP_ADD = 7, D3DTOP_ADDSIGNED = 8,
    D3DTOP_ADDSIGNED2X = 9, D3DTOP_SUBTRACT = 10, D3DTOP_ADDSMOOTH = 11,
    D3DTOP_BLENDDIFFUSEALPHA = 12, D3DTOP_BLENDTEXTUREALPHA = 13, D3DTOP_BLENDFACTORALPHA = 14,
    D3DTOP_BLENDTEXTUREALPHAPM = 15, D3DTOP_BLENDCURRENTALPHA = 16, D3DTOP_PREMODULATE = 17,
    D3DTOP_MODULATEALPHA_ADDCOLOR = 18, D3DTOP_MODULATECOLOR_ADDALPHA = 19,
    D3DTOP_MODULATEINVALPHA_ADDCOLOR = 20, D3DTOP_MODULATEINVCOLOR_ADDALPHA = 21,
    D3DTOP_BUMPENVMAP = 22, D3DTOP_BUMPENVMAPLUMINANCE = 23, D3DTOP_DOTPRODUCT3 = 24,
    D3DTOP_MULTIPLYADD = 25, D3DTOP_LERP = 26,
};

// Texture-stage arguments.
inline constexpr DWORD D3DTA_SELECTMASK = 0x0f;
inline constexpr DWORD D3DTA_DIFFUSE = 0x00;
inline constexpr DWORD D3DTA_CURRENT = 0x01;
inline constexpr DWORD D3DTA_TEXTURE = 0x02;
inline constexpr DWORD D3DTA_TFACTOR = 0x03;
inline constexpr DWORD D3DTA_SPECULAR = 0x04;
inline constexpr DWORD D3DTA_TEMP = 0x05;
inline constexpr DWORD D3DTA_COMPLEMENT = 0x10;
inline constexpr DWORD D3DTA_ALPHAREPLICATE = 0x20;

enum D3DTEXTUREFILTERTYPE : uint32_t {
    D3DTEXF_NONE = 0, D3DTEXF_POINT = 1, D3DTEXF_LINEAR = 2, D3DTEXF_ANISOTROPIC = 3,
    D3DTEXF_FLATCUBIC = 4, D3DTEXF_GAUSSIANCUBIC = 5,
};
enum D3DTEXTUREADDRESS : uint32_t {
    D3DTADDRESS_WRAP = 1, D3DTADDRESS_MIRROR = 2, D3DTADDRESS_CLAMP = 3, D3DTADDRESS_BORDER = 4,
    D3DTADDRESS_MIRRORONCE = 5,
};
enum D3DTEXTURETRANSFORMFLAGS : uint32_t {
    D3DTTFF_DISABLE = 0, D3DTTFF_COUNT1 = 1, D3DTTFF_COUNT2 = 2, D3DTTFF_COUNT3 = 3, D3DTTFF_COUNT4 = 4,
    D3DTTFF_PROJECTED = 256,
};
inline constexpr DWORD D3DTSS_TCI_PASSTHRU = 0x00000;
inline constexpr DWORD D3DTSS_TCI_CAMERASPACENORMAL = 0x10000;
inline constexpr DWORD D3DTSS_TCI_CAMERASPACEPOSITION = 0x20000;
inline constexpr DWORD D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR = 0x30000;

enum D3DTRANSFORMSTATETYPE : uint32_t {
    D3DTS_VIEW = 2, D3DTS_PROJECTION = 3,
    D3DTS_TEXTURE0 = 16, D3DTS_TEXTURE1, D3DTS_TEXTURE2, D3DTS_TEXTURE3,
    D3DTS_TEXTURE4, D3DTS_TEXTURE5, D3DTS_TEXTURE6, D3DTS_TEXTURE7,
    D3DTS_WORLD = 256, D3DTS_WORLD1 = 257, D3DTS_WORLD2 = 258, D3DTS_WORLD3 = 259,
};
constexpr D3DTRANSFORMSTATETYPE D3DTS_WORLDMATRIX(uint32_t i) { return static_cast<D3DTRANSFORMSTATETYPE>(256 + i); }

// Flexible vertex format bits. Vertex format 338 = XYZ | NORMAL | DIFFUSE | TEX1.
inline constexpr DWORD D3DFVF_RESERVED0 = 0x001;
inline constexpr DWORD D3DFVF_POSITION_MASK = 0x00E;
inline constexpr DWORD D3DFVF_XYZ = 0x002;
inline constexpr DWORD D3DFVF_XYZRHW = 0x004;
inline constexpr DWORD D3DFVF_XYZB1 = 0x006;
inline constexpr DWORD D3DFVF_XYZB2 = 0x008;
inline constexpr DWORD D3DFVF_XYZB3 = 0x00A;
inline constexpr DWORD D3DFVF_XYZB4 = 0x00C;
inline constexpr DWORD D3DFVF_XYZB5 = 0x00E;
inline constexpr DWORD D3DFVF_NORMAL = 0x010;
inline constexpr DWORD D3DFVF_PSIZE = 0x020;
inline constexpr DWORD D3DFVF_DIFFUSE = 0x040;
inline constexpr DWORD D3DFVF_SPECULAR = 0x080;
inline constexpr DWORD D3DFVF_TEXCOUNT_MASK = 0xF00;
inline constexpr DWORD D3DFVF_TEXCOUNT_SHIFT = 8;
inline constexpr DWORD D3DFVF_TEX0 = 0x000;
inline constexpr DWORD D3DFVF_TEX1 = 0x100;
inline constexpr DWORD D3DFVF_TEX2 = 0x200;
inline constexpr DWORD D3DFVF_TEX3 = 0x300;
inline constexpr DWORD D3DFVF_TEX4 = 0x400;
inline constexpr DWORD D3DFVF_ENGINE = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;
static_assert(D3DFVF_ENGINE == 338);

// Vertex shader declaration tokens (the stream layout given to CreateVertexShader).
inline constexpr DWORD D3DVSD_TOKENTYPESHIFT = 29;
inline constexpr DWORD D3DVSD_TOKEN_NOP = 0;
inline constexpr DWORD D3DVSD_TOKEN_STREAM = 1;
inline constexpr DWORD D3DVSD_TOKEN_STREAMDATA = 2;
inline constexpr DWORD D3DVSD_TOKEN_TESSELLATOR = 3;
inline constexpr DWORD D3DVSD_TOKEN_CONSTMEM = 4;
inline constexpr DWORD D3DVSD_TOKEN_EXT = 5;
inline constexpr DWORD D3DVSD_TOKEN_END = 7;
inline constexpr DWORD D3DVSD_DATATYPESHIFT = 16;
inline constexpr DWORD D3DVSDT_FLOAT1 = 0, D3DVSDT_FLOAT2 = 1, D3DVSDT_FLOAT3 = 2, D3DVSDT_FLOAT4 = 3,
                       D3DVSDT_D3DCOLOR = 4, D3DVSDT_UBYTE4 = 5, D3DVSDT_SHORT2 = 6, D3DVSDT_SHORT4 = 7;
constexpr DWORD D3DVSD_STREAM(DWORD n) { return (D3DVSD_TOKEN_STREAM << D3DVSD_TOKENTYPESHIFT) | n; }
constexpr DWORD D3DVSD_REG(DWORD reg, DWORD type) {
    return (D3DVSD_TOKEN_STREAMDATA << D3DVSD_TOKENTYPESHIFT) | (type << D3DVSD_DATATYPESHIFT) | reg;
}
constexpr DWORD D3DVSD_END() { return 0xFFFFFFFFu; }

enum D3DPRIMITIVETYPE : uint32_t {
    D3DPT_POINTLIST = 1, D3DPT_LINELIST = 2, D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4, D3DPT_TRIANGLESTRIP = 5, D3DPT_TRIANGLEFAN = 6,
};

inline constexpr DWORD D3DCLEAR_TARGET = 0x1;
inline constexpr DWORD D3DCLEAR_ZBUFFER = 0x2;
inline constexpr DWORD D3DCLEAR_STENCIL = 0x4;

enum D3DPOOL : uint32_t { D3DPOOL_DEFAULT = 0, D3DPOOL_MANAGED = 1, D3DPOOL_SYSTEMMEM = 2, D3DPOOL_SCRATCH = 3 };
enum D3DRESOURCETYPE : uint32_t {
    D3DRTYPE_SURFACE = 1, D3DRTYPE_VOLUME = 2, D3DRTYPE_TEXTURE = 3, D3DRTYPE_VOLUMETEXTURE = 4,
    D3DRTYPE_CUBETEXTURE = 5, D3DRTYPE_VERTEXBUFFER = 6, D3DRTYPE_INDEXBUFFER = 7,
};

inline constexpr DWORD D3DUSAGE_RENDERTARGET = 0x1;
inline constexpr DWORD D3DUSAGE_DEPTHSTENCIL = 0x2;
inline constexpr DWORD D3DUSAGE_WRITEONLY = 0x8;
inline constexpr DWORD D3DUSAGE_SOFTWAREPROCESSING = 0x10;
inline constexpr DWORD D3DUSAGE_DONOTCLIP = 0x20;
inline constexpr DWORD D3DUSAGE_POINTS = 0x40;
inline constexpr DWORD D3DUSAGE_RTPATCHES = 0x80;
inline constexpr DWORD D3DUSAGE_NPATCHES = 0x100;
inline constexpr DWORD D3DUSAGE_DYNAMIC = 0x200;

inline constexpr DWORD D3DLOCK_READONLY = 0x10;
inline constexpr DWORD D3DLOCK_NOSYSLOCK = 0x800;
inline constexpr DWORD D3DLOCK_NOOVERWRITE = 0x1000;
inline constexpr DWORD D3DLOCK_DISCARD = 0x2000;
inline constexpr DWORD D3DLOCK_NO_DIRTY_UPDATE = 0x8000;

enum D3DLIGHTTYPE : uint32_t { D3DLIGHT_POINT = 1, D3DLIGHT_SPOT = 2, D3DLIGHT_DIRECTIONAL = 3 };

inline constexpr DWORD D3DSGR_NO_CALIBRATION = 0;
inline constexpr DWORD D3DSGR_CALIBRATE = 1;

// ---------------------------------------------------------------- capability bits
inline constexpr DWORD D3DCAPS2_NO2DDURING3DSCENE = 0x00000002;
inline constexpr DWORD D3DCAPS2_FULLSCREENGAMMA = 0x00020000;
inline constexpr DWORD D3DCAPS2_CANRENDERWINDOWED = 0x00080000;
inline constexpr DWORD D3DCAPS2_CANCALIBRATEGAMMA = 0x00100000;
inline constexpr DWORD D3DCAPS2_CANMANAGERESOURCE = 0x10000000;
inline constexpr DWORD D3DCAPS2_DYNAMICTEXTURES = 0x20000000;
inline constexpr DWORD D3DCAPS3_ALPHA_FULLSCREEN_FLIP_OR_DISCARD = 0x00000020;

inline constexpr DWORD D3DCURSORCAPS_COLOR = 0x1;
inline constexpr DWORD D3DCURSORCAPS_LOWRES = 0x2;

inline constexpr DWORD D3DDEVCAPS_EXECUTESYSTEMMEMORY = 0x00000010;
inline constexpr DWORD D3DDEVCAPS_EXECUTEVIDEOMEMORY = 0x00000020;
inline constexpr DWORD D3DDEVCAPS_TLVERTEXSYSTEMMEMORY = 0x00000040;
inline constexpr DWORD D3DDEVCAPS_TLVERTEXVIDEOMEMORY = 0x00000080;
inline constexpr DWORD D3DDEVCAPS_TEXTURESYSTEMMEMORY = 0x00000100;
inline constexpr DWORD D3DDEVCAPS_TEXTUREVIDEOMEMORY = 0x00000200;
inline constexpr DWORD D3DDEVCAPS_DRAWPRIMTLVERTEX = 0x00000400;
inline constexpr DWORD D3DDEVCAPS_CANRENDERAFTERFLIP = 0x00000800;
inline constexpr DWORD D3DDEVCAPS_TEXTURENONLOCALVIDMEM = 0x00001000;
inline constexpr DWORD D3DDEVCAPS_DRAWPRIMITIVES2 = 0x00002000;
inline constexpr DWORD D3DDEVCAPS_SEPARATETEXTUREMEMORIES = 0x00004000;
inline constexpr DWORD D3DDEVCAPS_DRAWPRIMITIVES2EX = 0x00008000;
inline constexpr DWORD D3DDEVCAPS_HWTRANSFORMANDLIGHT = 0x00010000;
inline constexpr DWORD D3DDEVCAPS_CANBLTSYSTONONLOCAL = 0x00020000;
inline constexpr DWORD D3DDEVCAPS_HWRASTERIZATION = 0x00080000;
inline constexpr DWORD D3DDEVCAPS_PUREDEVICE = 0x00100000;
inline constexpr DWORD D3DDEVCAPS_QUINTICRTPATCHES = 0x00200000;
inline constexpr DWORD D3DDEVCAPS_RTPATCHES = 0x00400000;
inline constexpr DWORD D3DDEVCAPS_RTPATCHHANDLEZERO = 0x00800000;
inline constexpr DWORD D3DDEVCAPS_NPATCHES = 0x01000000;

inline constexpr DWORD D3DPMISCCAPS_MASKZ = 0x00000002;
inline constexpr DWORD D3DPMISCCAPS_LINEPATTERNREP = 0x00000004;
inline constexpr DWORD D3DPMISCCAPS_CULLNONE = 0x00000010;
inline constexpr DWORD D3DPMISCCAPS_CULLCW = 0x00000020;
inline constexpr DWORD D3DPMISCCAPS_CULLCCW = 0x00000040;
inline constexpr DWORD D3DPMISCCAPS_COLORWRITEENABLE = 0x00000080;
inline constexpr DWORD D3DPMISCCAPS_CLIPPLANESCALEDPOINTS = 0x00000100;
inline constexpr DWORD D3DPMISCCAPS_CLIPTLVERTS = 0x00000200;
inline constexpr DWORD D3DPMISCCAPS_TSSARGTEMP = 0x00000400;
inline constexpr DWORD D3DPMISCCAPS_BLENDOP = 0x00000800;
inline constexpr DWORD D3DPMISCCAPS_NULLREFERENCE = 0x00001000;

inline constexpr DWORD D3DPRASTERCAPS_DITHER = 0x00000001;
inline constexpr DWORD D3DPRASTERCAPS_ZTEST = 0x00000010;
inline constexpr DWORD D3DPRASTERCAPS_FOGVERTEX = 0x00000080;
inline constexpr DWORD D3DPRASTERCAPS_FOGTABLE = 0x00000100;
inline constexpr DWORD D3DPRASTERCAPS_ANTIALIASEDGES = 0x00001000;
inline constexpr DWORD D3DPRASTERCAPS_MIPMAPLODBIAS = 0x00002000;
inline constexpr DWORD D3DPRASTERCAPS_ZBIAS = 0x00004000;
inline constexpr DWORD D3DPRASTERCAPS_ZBUFFERLESSHSR = 0x00008000;
inline constexpr DWORD D3DPRASTERCAPS_FOGRANGE = 0x00010000;
inline constexpr DWORD D3DPRASTERCAPS_ANISOTROPY = 0x00020000;
inline constexpr DWORD D3DPRASTERCAPS_WBUFFER = 0x00040000;
inline constexpr DWORD D3DPRASTERCAPS_WFOG = 0x00100000;
inline constexpr DWORD D3DPRASTERCAPS_ZFOG = 0x00200000;
inline constexpr DWORD D3DPRASTERCAPS_COLORPERSPECTIVE = 0x00400000;
inline constexpr DWORD D3DPRASTERCAPS_STRETCHBLTMULTISAMPLE = 0x00800000;

inline constexpr DWORD D3DPCMPCAPS_NEVER = 0x01, D3DPCMPCAPS_LESS = 0x02, D3DPCMPCAPS_EQUAL = 0x04,
                       D3DPCMPCAPS_LESSEQUAL = 0x08, D3DPCMPCAPS_GREATER = 0x10, D3DPCMPCAPS_NOTEQUAL = 0x20,
                       D3DPCMPCAPS_GREATEREQUAL = 0x40, D3DPCMPCAPS_ALWAYS = 0x80;

inline constexpr DWORD D3DPBLENDCAPS_ZERO = 0x001, D3DPBLENDCAPS_ONE = 0x002, D3DPBLENDCAPS_SRCCOLOR = 0x004,
                       D3DPBLENDCAPS_INVSRCCOLOR = 0x008, D3DPBLENDCAPS_SRCALPHA = 0x010,
                       D3DPBLENDCAPS_INVSRCALPHA = 0x020, D3DPBLENDCAPS_DESTALPHA = 0x040,
                       D3DPBLENDCAPS_INVDESTALPHA = 0x080, D3DPBLENDCAPS_DESTCOLOR = 0x100,
                       D3DPBLENDCAPS_INVDESTCOLOR = 0x200, D3DPBLENDCAPS_SRCALPHASAT = 0x400,
                       D3DPBLENDCAPS_BOTHSRCALPHA = 0x800, D3DPBLENDCAPS_BOTHINVSRCALPHA = 0x1000;

inline constexpr DWORD D3DPSHADECAPS_COLORGOURAUDRGB = 0x00000008;
inline constexpr DWORD D3DPSHADECAPS_SPECULARGOURAUDRGB = 0x00000200;
inline constexpr DWORD D3DPSHADECAPS_ALPHAGOURAUDBLEND = 0x00004000;
inline constexpr DWORD D3DPSHADECAPS_FOGGOURAUD = 0x00080000;

inline constexpr DWORD D3DPTEXTURECAPS_PERSPECTIVE = 0x00000001;
inline constexpr DWORD D3DPTEXTURECAPS_POW2 = 0x00000002;
inline constexpr DWORD D3DPTEXTURECAPS_ALPHA = 0x00000004;
inline constexpr DWORD D3DPTEXTURECAPS_SQUAREONLY = 0x00000020;
inline constexpr DWORD D3DPTEXTURECAPS_TEXREPEATNOTSCALEDBYSIZE = 0x00000040;
inline constexpr DWORD D3DPTEXTURECAPS_ALPHAPALETTE = 0x00000080;
inline constexpr DWORD D3DPTEXTURECAPS_NONPOW2CONDITIONAL = 0x00000100;
inline constexpr DWORD D3DPTEXTURECAPS_PROJECTED = 0x00000400;
inline constexpr DWORD D3DPTEXTURECAPS_CUBEMAP = 0x00000800;
inline constexpr DWORD D3DPTEXTURECAPS_VOLUMEMAP = 0x00002000;
inline constexpr DWORD D3DPTEXTURECAPS_MIPMAP = 0x00004000;
inline constexpr DWORD D3DPTEXTURECAPS_MIPVOLUMEMAP = 0x00008000;
inline constexpr DWORD D3DPTEXTURECAPS_MIPCUBEMAP = 0x00010000;

inline constexpr DWORD D3DPTFILTERCAPS_MINFPOINT = 0x00000100;
inline constexpr DWORD D3DPTFILTERCAPS_MINFLINEAR = 0x00000200;
inline constexpr DWORD D3DPTFILTERCAPS_MINFANISOTROPIC = 0x00000400;
inline constexpr DWORD D3DPTFILTERCAPS_MIPFPOINT = 0x00010000;
inline constexpr DWORD D3DPTFILTERCAPS_MIPFLINEAR = 0x00020000;
inline constexpr DWORD D3DPTFILTERCAPS_MAGFPOINT = 0x01000000;
inline constexpr DWORD D3DPTFILTERCAPS_MAGFLINEAR = 0x02000000;
inline constexpr DWORD D3DPTFILTERCAPS_MAGFANISOTROPIC = 0x04000000;
inline constexpr DWORD D3DPTFILTERCAPS_MAGFAFLATCUBIC = 0x08000000;
inline constexpr DWORD D3DPTFILTERCAPS_MAGFGAUSSIANCUBIC = 0x10000000;

inline constexpr DWORD D3DPTADDRESSCAPS_WRAP = 0x01;
inline constexpr DWORD D3DPTADDRESSCAPS_MIRROR = 0x02;
inline constexpr DWORD D3DPTADDRESSCAPS_CLAMP = 0x04;
inline constexpr DWORD D3DPTADDRESSCAPS_BORDER = 0x08;
inline constexpr DWORD D3DPTADDRESSCAPS_INDEPENDENTUV = 0x10;
inline constexpr DWORD D3DPTADDRESSCAPS_MIRRORONCE = 0x20;

inline constexpr DWORD D3DSTENCILCAPS_KEEP = 0x01, D3DSTENCILCAPS_ZERO = 0x02, D3DSTENCILCAPS_REPLACE = 0x04,
                       D3DSTENCILCAPS_INCRSAT = 0x08, D3DSTENCILCAPS_DECRSAT = 0x10, D3DSTENCILCAPS_INVERT = 0x20,
                       D3DSTENCILCAPS_INCR = 0x40, D3DSTENCILCAPS_DECR = 0x80;

inline constexpr DWORD D3DFVFCAPS_TEXCOORDCOUNTMASK = 0x0000ffff;
inline constexpr DWORD D3DFVFCAPS_DONOTSTRIPELEMENTS = 0x00080000;
inline constexpr DWORD D3DFVFCAPS_PSIZE = 0x00100000;

inline constexpr DWORD D3DTEXOPCAPS_DISABLE = 0x00000001;
inline constexpr DWORD D3DTEXOPCAPS_SELECTARG1 = 0x00000002;
inline constexpr DWORD D3DTEXOPCAPS_SELECTARG2 = 0x00000004;
inline constexpr DWORD D3DTEXOPCAPS_MODULATE = 0x00000008;
inline constexpr DWORD D3DTEXOPCAPS_MODULATE2X = 0x00000010;
inline constexpr DWORD D3DTEXOPCAPS_MODULATE4X = 0x00000020;
inline constexpr DWORD D3DTEXOPCAPS_ADD = 0x00000040;
inline constexpr DWORD D3DTEXOPCAPS_ADDSIGNED = 0x00000080;
inline constexpr DWORD D3DTEXOPCAPS_ADDSIGNED2X = 0x00000100;
inline constexpr DWORD D3DTEXOPCAPS_SUBTRACT = 0x00000200;
inline constexpr DWORD D3DTEXOPCAPS_ADDSMOOTH = 0x00000400;
inline constexpr DWORD D3DTEXOPCAPS_BLENDDIFFUSEALPHA = 0x00000800;
inline constexpr DWORD D3DTEXOPCAPS_BLENDTEXTUREALPHA = 0x00001000;
inline constexpr DWORD D3DTEXOPCAPS_BLENDFACTORALPHA = 0x00002000;
inline constexpr DWORD D3DTEXOPCAPS_BLENDTEXTUREALPHAPM = 0x00004000;
inline constexpr DWORD D3DTEXOPCAPS_BLENDCURRENTALPHA = 0x00008000;
inline constexpr DWORD D3DTEXOPCAPS_PREMODULATE = 0x00010000;
inline constexpr DWORD D3DTEXOPCAPS_MODULATEALPHA_ADDCOLOR = 0x00020000;
inline constexpr DWORD D3DTEXOPCAPS_MODULATECOLOR_ADDALPHA = 0x00040000;
inline constexpr DWORD D3DTEXOPCAPS_MODULATEINVALPHA_ADDCOLOR = 0x00080000;
inline constexpr DWORD D3DTEXOPCAPS_MODULATEINVCOLOR_ADDALPHA = 0x00100000;
inline constexpr DWORD D3DTEXOPCAPS_BUMPENVMAP = 0x00200000;
inline constexpr DWORD D3DTEXOPCAPS_BUMPENVMAPLUMINANCE = 0x00400000;
inline constexpr DWORD D3DTEXOPCAPS_DOTPRODUCT3 = 0x00800000;
inline constexpr DWORD D3DTEXOPCAPS_MULTIPLYADD = 0x01000000;
inline constexpr DWORD D3DTEXOPCAPS_LERP = 0x02000000;

inline constexpr DWORD D3DVTXPCAPS_TEXGEN = 0x01;
inline constexpr DWORD D3DVTXPCAPS_MATERIALSOURCE7 = 0x02;
inline constexpr DWORD D3DVTXPCAPS_DIRECTIONALLIGHTS = 0x08;
inline constexpr DWORD D3DVTXPCAPS_POSITIONALLIGHTS = 0x10;
inline constexpr DWORD D3DVTXPCAPS_LOCALVIEWER = 0x20;
inline constexpr DWORD D3DVTXPCAPS_TWEENING = 0x40;
inline constexpr DWORD D3DVTXPCAPS_NO_VSDT_UBYTE4 = 0x80;

inline constexpr DWORD D3DLINECAPS_TEXTURE = 0x01, D3DLINECAPS_ZTEST = 0x02, D3DLINECAPS_BLEND = 0x04,
                       D3DLINECAPS_ALPHACMP = 0x08, D3DLINECAPS_FOG = 0x10;

// ---------------------------------------------------------------- records
struct D3DCOLORVALUE { float r = 0, g = 0, b = 0, a = 0; };

struct D3DMATERIAL8 {
    D3DCOLORVALUE Diffuse, Ambient, Specular, Emissive;
    float Power = 0;
};

struct D3DLIGHT8 {
    D3DLIGHTTYPE Type = D3DLIGHT_DIRECTIONAL;
    D3DCOLORVALUE Diffuse, Specular, Ambient;
    D3DVECTOR Position, Direction;   // world space
    float Range = 0, Falloff = 0;
    float Attenuation0 = 0, Attenuation1 = 0, Attenuation2 = 0;
    float Theta = 0, Phi = 0;
};

struct D3DVIEWPORT8 {
    DWORD X = 0, Y = 0, Width = 0, Height = 0;
    float MinZ = 0, MaxZ = 1;
};

struct D3DRECT { LONG x1 = 0, y1 = 0, x2 = 0, y2 = 0; };
struct RECT { LONG left = 0, top = 0, right = 0, bottom = 0; };

struct D3DDISPLAYMODE {
    UINT Width = 0, Height = 0, RefreshRate = 0;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
};

struct D3DPRESENT_PARAMETERS {
    UINT BackBufferWidth = 0, BackBufferHeight = 0;
    D3DFORMAT BackBufferFormat = D3DFMT_UNKNOWN;
    UINT BackBufferCount = 0;
    D3DMULTISAMPLE_TYPE MultiSampleType = D3DMULTISAMPLE_NONE;
    D3DSWAPEFFECT SwapEffect = D3DSWAPEFFECT_DISCARD;
    SDL_Window* hDeviceWindow = nullptr;   // null: the focus window of CreateDevice
    BOOL Windowed = 1;
    BOOL EnableAutoDepthStencil = 0;
    D3DFORMAT AutoDepthStencilFormat = D3DFMT_UNKNOWN;
    DWORD Flags = 0;
    UINT FullScreen_RefreshRateInHz = 0;
    UINT FullScreen_PresentationInterval = 0;
};

struct D3DADAPTER_IDENTIFIER8 {
    char Driver[512] = {};
    char Description[512] = {};
    int64_t DriverVersion = 0;
    DWORD VendorId = 0, DeviceId = 0, SubSysId = 0, Revision = 0;
    uint8_t DeviceIdentifier[16] = {};
    DWORD WHQLLevel = 0;
};

struct D3DCAPS8 {
    D3DDEVTYPE DeviceType = D3DDEVTYPE_HAL;
    UINT AdapterOrdinal = 0;
    DWORD Caps = 0, Caps2 = 0, Caps3 = 0, PresentationIntervals = 0, CursorCaps = 0, DevCaps = 0;
    DWORD PrimitiveMiscCaps = 0, RasterCaps = 0, ZCmpCaps = 0, SrcBlendCaps = 0, DestBlendCaps = 0;
    DWORD AlphaCmpCaps = 0, ShadeCaps = 0, TextureCaps = 0, TextureFilterCaps = 0;
    DWORD CubeTextureFilterCaps = 0, VolumeTextureFilterCaps = 0, TextureAddressCaps = 0;
    DWORD VolumeTextureAddressCaps = 0, LineCaps = 0;
    DWORD MaxTextureWidth = 0, MaxTextureHeight = 0, MaxVolumeExtent = 0;
    DWORD MaxTextureRepeat = 0, MaxTextureAspectRatio = 0, MaxAnisotropy = 0;
    float MaxVertexW = 0, GuardBandLeft = 0, GuardBandTop = 0, GuardBandRight = 0, GuardBandBottom = 0;
    float ExtentsAdjust = 0;
    DWORD StencilCaps = 0, FVFCaps = 0, TextureOpCaps = 0;
    DWORD MaxTextureBlendStages = 0, MaxSimultaneousTextures = 0;
    DWORD VertexProcessingCaps = 0, MaxActiveLights = 0, MaxUserClipPlanes = 0;
    DWORD MaxVertexBlendMatrices = 0, MaxVertexBlendMatrixIndex = 0;
    float MaxPointSize = 0;
    DWORD MaxPrimitiveCount = 0, MaxVertexIndex = 0, MaxStreams = 0, MaxStreamStride = 0;
    DWORD VertexShaderVersion = 0, MaxVertexShaderConst = 0;
    DWORD PixelShaderVersion = 0;
    float MaxPixelShaderValue = 0;
};

struct D3DSURFACE_DESC {
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    D3DRESOURCETYPE Type = D3DRTYPE_SURFACE;
    DWORD Usage = 0;
    D3DPOOL Pool = D3DPOOL_DEFAULT;
    UINT Size = 0;
    D3DMULTISAMPLE_TYPE MultiSampleType = D3DMULTISAMPLE_NONE;
    UINT Width = 0, Height = 0;
};

struct D3DVERTEXBUFFER_DESC {
    D3DFORMAT Format = D3DFMT_VERTEXDATA;
    D3DRESOURCETYPE Type = D3DRTYPE_VERTEXBUFFER;
    DWORD Usage = 0;
    D3DPOOL Pool = D3DPOOL_DEFAULT;
    UINT Size = 0;
    DWORD FVF = 0;
};

struct D3DINDEXBUFFER_DESC {
    D3DFORMAT Format = D3DFMT_INDEX16;
    D3DRESOURCETYPE Type = D3DRTYPE_INDEXBUFFER;
    DWORD Usage = 0;
    D3DPOOL Pool = D3DPOOL_DEFAULT;
    UINT Size = 0;
};

struct D3DLOCKED_RECT {
    INT Pitch = 0;          // bytes per row
    void* pBits = nullptr;
};

struct D3DGAMMARAMP { WORD red[256] = {}, green[256] = {}, blue[256] = {}; };

// ---------------------------------------------------------------- objects
// A 2-D texture with mip levels. Lockable formats: A8R8G8B8, X8R8G8B8,
// R5G6B5, X1R5G5B5, A1R5G5B5, A4R4G4B4 (bytes in memory as Direct3D lays them out).
class IDirect3DTexture8 {
public:
    virtual ~IDirect3DTexture8() = default;
    virtual DWORD GetLevelCount() = 0;
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    // rect null: the whole level.
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;
};

class IDirect3DVertexBuffer8 {
public:
    virtual ~IDirect3DVertexBuffer8() = default;
    // size 0 locks from offset to the end.
    virtual HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) = 0;
};

class IDirect3DIndexBuffer8 {
public:
    virtual ~IDirect3DIndexBuffer8() = default;
    virtual HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) = 0;
};

class IDirect3DDevice8 {
public:
    virtual ~IDirect3DDevice8() = default;

    // D3D_OK, D3DERR_DEVICELOST, or D3DERR_DEVICENOTRESET.
    virtual HRESULT TestCooperativeLevel() = 0;
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* params) = 0;
    virtual HRESULT GetDeviceCaps(D3DCAPS8* caps) = 0;
    virtual HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) = 0;
    virtual BOOL ShowCursor(BOOL show) = 0;
    virtual void SetGammaRamp(DWORD flags, const D3DGAMMARAMP* ramp) = 0;

    // rects null (count 0): the whole viewport.
    virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    // All null: the whole back buffer to the device window.
    virtual HRESULT Present(const RECT* source, const RECT* dest, SDL_Window* destWindow, const void* dirtyRegion) = 0;

    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual HRESULT SetViewport(const D3DVIEWPORT8* viewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT8* viewport) = 0;
    virtual HRESULT SetMaterial(const D3DMATERIAL8* material) = 0;
    virtual HRESULT GetMaterial(D3DMATERIAL8* material) = 0;
    virtual HRESULT SetLight(DWORD index, const D3DLIGHT8* light) = 0;
    virtual HRESULT GetLight(DWORD index, D3DLIGHT8* light) = 0;
    virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
    virtual HRESULT GetLightEnable(DWORD index, BOOL* enable) = 0;

    // texture null: no texture on that stage.
    virtual HRESULT SetTexture(DWORD stage, const std::shared_ptr<IDirect3DTexture8>& texture) = 0;
    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, std::shared_ptr<IDirect3DTexture8>& texture) = 0;
    virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       std::shared_ptr<IDirect3DVertexBuffer8>& buffer) = 0;
    virtual HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                      std::shared_ptr<IDirect3DIndexBuffer8>& buffer) = 0;
    virtual HRESULT SetStreamSource(UINT stream, const std::shared_ptr<IDirect3DVertexBuffer8>& buffer, UINT stride) = 0;
    virtual HRESULT SetIndices(const std::shared_ptr<IDirect3DIndexBuffer8>& buffer, UINT baseVertexIndex) = 0;

    // handle: a vertex format (FVF bits, bit 0 clear) or a handle from
    // CreateVertexShader (bit 0 set).
    virtual HRESULT SetVertexShader(DWORD handle) = 0;
    virtual HRESULT GetVertexShader(DWORD* handle) = 0;

    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) = 0;
    virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                         UINT startIndex, UINT primitiveCount) = 0;
    virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                                    UINT stride) = 0;
    virtual HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                           UINT primitiveCount, const void* indexData, D3DFORMAT indexFormat,
                                           const void* vertexData, UINT stride) = 0;

    // declaration: D3DVSD_ tokens ending in D3DVSD_END(); function: vs token
    // words (null: fixed-function processing of the declared inputs).
    virtual HRESULT CreateVertexShader(const DWORD* declaration, const DWORD* function, DWORD* handle,
                                       DWORD usage) = 0;
    virtual HRESULT DeleteVertexShader(DWORD handle) = 0;
    virtual HRESULT SetVertexShaderConstant(DWORD reg, const void* data, DWORD count) = 0;
    // function: ps.1.x token words ending in the end token 0x0000FFFF.
    virtual HRESULT CreatePixelShader(const DWORD* function, DWORD* handle) = 0;
    virtual HRESULT SetPixelShader(DWORD handle) = 0;   // 0: none
    virtual HRESULT GetPixelShader(DWORD* handle) = 0;
    virtual HRESULT DeletePixelShader(DWORD handle) = 0;
    virtual HRESULT SetPixelShaderConstant(DWORD reg, const void* data, DWORD count) = 0;
};

class IDirect3D8 {
public:
    virtual ~IDirect3D8() = default;
    virtual UINT GetAdapterCount() = 0;
    virtual HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER8* identifier) = 0;
    virtual UINT GetAdapterModeCount(UINT adapter) = 0;
    virtual HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* displayMode) = 0;
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) = 0;
    virtual HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat,
                                    D3DFORMAT backBufferFormat, BOOL windowed) = 0;
    virtual HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                      D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) = 0;
    virtual HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                           D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) = 0;
    virtual HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat,
                                               BOOL windowed, D3DMULTISAMPLE_TYPE multiSampleType) = 0;
    virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps) = 0;
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, SDL_Window* focusWindow, DWORD behaviorFlags,
                                 D3DPRESENT_PARAMETERS* params, std::shared_ptr<IDirect3DDevice8>& device) = 0;
};

} // namespace rdv
