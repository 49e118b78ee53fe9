#pragma once
// A shader of the shader table: a vertex ("vsh"), pixel ("psh") or texel
// ("tsh") shader script from "shaders". GetShader creates one per distinct
// name and calls Load; models select and disable it around their draws.
//
// The texel shader is the engine's own small instruction set, compiled at
// load time into byte code and run every time the shader is selected: in a
// texel shader it builds the stage-0 texture transform from r0..r8, in a
// pixel shader's "TS" section it computes pixel-shader constants.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d/D3D8.h"

namespace rdv {

class Engine;

// What a shader draws with: the device, the render-state cache's vertex
// shader slot (the handle or vertex format last set) and the game clock in
// milliseconds that texel programs read.
struct ShaderTarget {
    IDirect3DDevice8* device = nullptr;   // null: nothing is sent to a device
    DWORD* currentVertexShader = nullptr;
    uint32_t gameClock = 0;
};

class gfxShaderObj {
public:
    enum Kind : uint8_t { kNone = 0, kVertex = 1, kPixel = 2, kTexel = 3 };

    // Byte-code instruction numbers of the texel interpreter.
    enum Code : uint8_t {
        kIdentity = 1, kMulU = 2, kMulV = 3, kMulUV = 4, kMul = 5, kLoad = 6, kLoadTime = 7, kMove = 8,
        kSin = 9, kCos = 10, kNeg = 12, kMoveNeg = 13, kAdd = 14, kSub = 15, kLoadShaderConst = 16,
    };

    gfxShaderObj() = default;
    virtual ~gfxShaderObj();
    gfxShaderObj(const gfxShaderObj&) = delete;
    gfxShaderObj& operator=(const gfxShaderObj&) = delete;

    // Table entry points: the device and clock come from the graphics core.
    virtual void Load(Engine& engine, const std::string& name);
    // Deletes the device shader (shutdown, before the device goes).
    virtual void Release();
    void Select(Engine& engine);
    void Disable(Engine& engine);

    // The same with an explicit target (tests, tools).
    void LoadShader(Engine& engine, IDirect3DDevice8* device, const std::string& name);
    void SelectShader(Engine& engine, const ShaderTarget& target);
    void DisableShader(const ShaderTarget& target);

    bool IsWorkingShader() const { return working; }

    // One statement of a software section; kind is the script's kind.
    void CompileTexelLine(Engine& engine, const std::string& statement, Kind kind);
    // Runs the byte code once; device (may be null) receives code 16.
    void ExecuteTexelShader(IDirect3DDevice8* device, uint32_t gameClock);
    // "r0".."r15", "0".."15", "ra".."rf", "a".."f" (any case); others warn and give 0.
    int ParseRegister(Engine& engine, const std::string& text);
    // The stage-0 texture transform of r0..r8 (columns (r0 r1 r2 0), (r3 r4 r5 0), (r6 r7 r8 0), 0).
    D3DXMATRIX TextureTransform() const;

    std::string name;
    Kind kind = kNone;
    DWORD handle = 0;                 // device vertex or pixel shader
    bool working = false;
    bool hasSoftwareSection = false;
    std::array<float, 16> registers{};
    std::vector<uint8_t> code;        // instructions back to back
    std::vector<float> constants;     // literal table, indexes 0..255
    std::vector<uint32_t> shaderCode;          // assembled token words
    std::vector<uint32_t> vertexDeclaration;   // vertex shaders: the stream declaration

private:
    uint8_t AddConstant(Engine& engine, float value);
    void LoadPixelShader(Engine& engine, IDirect3DDevice8* device, int32_t handle);
    void LoadVertexShader(Engine& engine, IDirect3DDevice8* device, int32_t handle);
    void LoadTexelShader(Engine& engine, int32_t handle);

    IDirect3DDevice8* device_ = nullptr;   // the device the handle belongs to
};

// The game clock texel shaders read while a frame is drawn.
uint32_t ShaderGameClock(Engine& engine);

} // namespace rdv
