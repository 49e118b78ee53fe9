// Shader scripts on the recording device: loading rules, the texel
// compiler's errors and warnings, the interpreter and select/disable.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "core/Engine.h"
#include "core/Error.h"
#include "graphics/Shader.h"
#include "platform/d3d/Recording.h"

namespace rdv {
namespace {

namespace fs = std::filesystem;

class ShaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("rdv_shader_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "shaders");
        engine.programFolder = folder_;
        engine.settings.pixelShaders = true;
        engine.settings.vertexShaders = true;
        engine.settings.textureTransforms = true;
        engine.log.SetCapture(&log);
        MakeDevice(RecordingScript::Default());
    }
    void TearDown() override {
        engine.log.SetCapture(nullptr);
        fs::remove_all(folder_);
    }

    void MakeDevice(const RecordingScript& script) {
        adapter = std::make_shared<RecordingDirect3D8>();
        adapter->script = script;
        D3DPRESENT_PARAMETERS params{};
        params.Windowed = 1;
        params.BackBufferWidth = 64;
        params.BackBufferHeight = 64;
        ASSERT_EQ(adapter->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &params, device_), D3D_OK);
        dev = adapter->LastDevice();
    }

    void Write(const std::string& file, const std::string& text) {
        std::ofstream(folder_ / "shaders" / file, std::ios::binary) << text;
    }

    // Loads shaders/<file> and returns the error it raised (number 0: none).
    EngineError LoadError(gfxShaderObj& shader, const std::string& file, const std::string& text) {
        Write(file, text);
        try {
            shader.LoadShader(engine, dev, fs::path(file).stem().string());
        } catch (const EngineError& e) {
            return e;
        }
        return EngineError(0, "", "");
    }

    void Load(gfxShaderObj& shader, const std::string& file, const std::string& text) {
        EngineError e = LoadError(shader, file, text);
        ASSERT_EQ(e.number, 0) << e.source << ": " << e.description;
    }

    bool Logged(const std::string& text, int colour = 4) const {
        for (const auto& l : log)
            if (l.message == text && l.colour == colour) return true;
        return false;
    }

    ShaderTarget Target(uint32_t clock) { return ShaderTarget{dev, &currentVs, clock}; }

    D3DMATRIX Select(gfxShaderObj& shader, uint32_t clock) {
        shader.SelectShader(engine, Target(clock));
        return dev->Transform(D3DTS_TEXTURE0);
    }

    Engine engine;
    std::vector<Log::Line> log;
    std::shared_ptr<RecordingDirect3D8> adapter;
    std::shared_ptr<IDirect3DDevice8> device_;
    RecordingDevice* dev = nullptr;
    DWORD currentVs = 0;

private:
    fs::path folder_;
};

void ExpectMatrix(const D3DMATRIX& m, std::initializer_list<float> rows) {
    auto it = rows.begin();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c, ++it) EXPECT_NEAR(m.m[r][c], *it, 1e-5f) << "row " << r << " col " << c;
}

TEST_F(ShaderTest, IdentityProgramSetsIdentityTransform) {
    gfxShaderObj s;
    Load(s, "plain.tsh", "TS\nidentity\n");
    EXPECT_EQ(s.kind, gfxShaderObj::kTexel);
    EXPECT_TRUE(s.IsWorkingShader());
    EXPECT_EQ(s.code, (std::vector<uint8_t>{1}));
    // Fourth column and row stay 0: only the 3 x 3 part carries the program.
    ExpectMatrix(Select(s, 0), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0});
}

TEST_F(ShaderTest, LoadTimeScrollsUAndWrapsEveryPeriod) {
    gfxShaderObj s;
    Load(s, "scroll.tsh",
         "TS ; scrolling water\n"
         "id\n"
         "loadtime r2 1000\n"
         "load r9 0.001\n"
         "mul r2 r9\n");
    EXPECT_EQ(s.code, (std::vector<uint8_t>{1, 7, 2, 0, 6, 9, 1, 5, 2, 9}));
    // u' = r0 u + r1 v + r2: the offset sits in row 2 of column 0.
    EXPECT_NEAR(Select(s, 250).m[2][0], 0.25f, 1e-6f);
    EXPECT_NEAR(Select(s, 999).m[2][0], 0.999f, 1e-6f);
    EXPECT_NEAR(Select(s, 1000).m[2][0], 0.0f, 1e-6f);
    EXPECT_NEAR(Select(s, 1250).m[2][0], 0.25f, 1e-6f);
    EXPECT_NEAR(Select(s, 1250).m[2][1], 0.0f, 1e-6f);   // v untouched
    EXPECT_NEAR(Select(s, 1250).m[0][0], 1.0f, 1e-6f);
}

TEST_F(ShaderTest, MulvDoublesOnlyTheVRow) {
    gfxShaderObj s;
    Load(s, "stretch.tsh", "TS\nid\nload r5 0.5\nmulv 2\n");
    s.ExecuteTexelShader(nullptr, 0);
    EXPECT_EQ((std::vector<float>(s.registers.begin(), s.registers.begin() + 9)),
              (std::vector<float>{1, 0, 0, 0, 2, 1, 0, 0, 1}));
    // The v row is the transform's second column.
    ExpectMatrix(s.TextureTransform(), {1, 0, 0, 0, 0, 2, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0});
}

TEST_F(ShaderTest, ArithmeticAndAliases) {
    gfxShaderObj s;
    Load(s, "maths.tsh",
         "TS\n"
         "ldi r1 3\n"
         "constant 2 0.5\n"
         "multiply r1 r2\n"     // 1.5
         "copy r3 r1\n"         // 1.5
         "increment r3 r1\n"    // 3
         "decrement r3 r2\n"    // 2.5
         "mvn r4 r3\n"          // -2.5
         "negate r4\n"          // 2.5
         "ldpi r5 0.5\n"        // pi/2
         "sine r5\n"            // 1
         "ldcpi r6 1\n"         // pi
         "cosinus r6\n"         // -1
         "ldc r7 4\n"           // 0.25
         "scale 2\n"            // r0..r5 doubled
         "time rf 7\n");        // clock mod 7
    s.ExecuteTexelShader(nullptr, 100);
    const auto& r = s.registers;
    EXPECT_FLOAT_EQ(r[1], 3.0f);
    EXPECT_FLOAT_EQ(r[2], 1.0f);
    EXPECT_FLOAT_EQ(r[3], 5.0f);
    EXPECT_FLOAT_EQ(r[4], 5.0f);
    EXPECT_NEAR(r[5], 2.0f, 1e-5f);
    EXPECT_NEAR(r[6], -1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(r[7], 0.25f);
    EXPECT_FLOAT_EQ(r[15], 2.0f);
}

TEST_F(ShaderTest, RegisterNames) {
    gfxShaderObj s;
    s.name = "regs";
    for (const char* n : {"rA", "A", "10", "r10", "ra", "a"}) EXPECT_EQ(s.ParseRegister(engine, n), 10) << n;
    EXPECT_EQ(s.ParseRegister(engine, "Rf"), 15);
    EXPECT_EQ(s.ParseRegister(engine, "r0"), 0);
    EXPECT_EQ(s.ParseRegister(engine, "15"), 15);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(s.ParseRegister(engine, "r16"), 0);
    EXPECT_TRUE(Logged("Warning: 'r16' is not a known register"));
    EXPECT_EQ(s.ParseRegister(engine, "g"), 0);
    EXPECT_TRUE(Logged("Warning: 'g' is not a known register"));
}

TEST_F(ShaderTest, CompileErrors) {
    struct Case {
        const char* script;
        int number;
        const char* source;
        const char* description;
    };
    const Case cases[] = {
        {"TS\nldc r1 0\n", 1005, "Engine->GetShader->LoadShader",
         "Division by zero - can't complement constant in ldc r1 0 instruction"},
        {"TS\nldcp r1 0\n", 1005, "Engine->GetShader->LoadShader",
         "Division by zero - can't complement constant in ldcp r1 0 instruction"},
        {"TS\nfoo r1\n", 1005, "Engine->GetShader->LoadShader->Perform", "Invalid opcode 'foo' in: bad"},
        {"TS\nID\n", 1005, "Engine->GetShader->LoadShader->Perform", "Invalid opcode 'ID' in: bad"},
        {"TS\nadd r1 r2 r3\n", 1005, "Engine->GetShader->LoadShader", "Invalid parameter count"},
        {"TS\nldsh 0 r0\n", 1005, "Engine->GetShader->LoadShader->PerformAssembly",
         "invalid opcode outside pixel/vertexshader"},
        {"TS\nloadtime r2 0.4\n", 1005, "Engine->GetShader->LoadShader", "Invalid time period '0.4' in: bad"},
        {"TS\nldt r2 0\n", 1005, "Engine->GetShader->LoadShader", "Invalid time period '0' in: bad"},
        {"TS\n; only a comment\n", 1005, "Engine->GetShader->LoadShader", "Empty Shader: bad"},
        {"PS\nid\n", 1005, "Engine->GetShader->LoadShader",
         "Invalid TCS Header (allowed are: TS VS PS CS) in: bad"},
    };
    for (const Case& c : cases) {
        gfxShaderObj s;
        EngineError e = LoadError(s, "bad.tsh", c.script);
        EXPECT_EQ(e.number, c.number) << c.script;
        EXPECT_EQ(e.source, c.source) << c.script;
        EXPECT_EQ(e.description, c.description) << c.script;
    }
}

TEST_F(ShaderTest, LoadShaderRegisterErrors) {
    const char* head = "ps.1.1\ntex t0\nmov r0, t0\nTS\n";
    const std::pair<const char*, const char*> cases[] = {
        {"ldsh 2 r0", "Invalid shader register index (must be multiple of 4) '2' in: glow"},
        {"ldsh 8 r0", "Invalid shader register index (maximum register exceeded) '8' in: glow"},
        {"ldsh 4 r1", "Invalid source line (must be r0/r4/r8/r12) 'r1' in: glow"},
        {"ldsh 4x r0", "Invalid shader register index (syntax error) '4x' in: glow"},
        {"ldsh -4 r0", "Invalid shader register index (syntax error) '-4' in: glow"},
    };
    for (const auto& [line, description] : cases) {
        gfxShaderObj s;
        EngineError e = LoadError(s, "glow.psh", std::string(head) + line + "\n");
        EXPECT_EQ(e.number, 1005) << line;
        EXPECT_EQ(e.source, "Engine->GetShader->LoadShader->PerformAssembly") << line;
        EXPECT_EQ(e.description, description) << line;
    }
}

TEST_F(ShaderTest, WrongOperandCountWarnsAndSkips) {
    gfxShaderObj s;
    Load(s, "skip.tsh", "TS\nsin\nid\nmulu\n");
    EXPECT_TRUE(Logged("Warning: invalid param count for sin in:skip"));
    EXPECT_TRUE(Logged("Warning: invalid param count for mulu in:skip"));
    EXPECT_EQ(s.code, (std::vector<uint8_t>{1}));
}

TEST_F(ShaderTest, ThreeBlankLinesEndTheScript) {
    gfxShaderObj a;
    Load(a, "two.tsh", "TS\nid\n\n\nmulv 2\n");
    EXPECT_EQ(a.code.size(), 3u);
    gfxShaderObj b;
    Load(b, "three.tsh", "  TS  \n id \n\n\n\nmulv 2\n");
    EXPECT_EQ(b.code, (std::vector<uint8_t>{1}));
}

TEST_F(ShaderTest, PixelShaderWithSoftwareSection) {
    gfxShaderObj s;
    Load(s, "glow.psh",
         "ps.1.1        ; glowing panel\n"
         "tex t0\n"
         "mul r0, t0, c0\n"
         "TS\n"
         "ldi r4 0.5\n"
         "ldi r5 0.25\n"
         "ldsh 4 r4\n");
    EXPECT_EQ(s.kind, gfxShaderObj::kPixel);
    EXPECT_TRUE(s.IsWorkingShader());
    EXPECT_TRUE(s.hasSoftwareSection);
    ASSERT_EQ(dev->pixelShaders.count(s.handle), 1u);
    EXPECT_EQ(dev->pixelShaders[s.handle],
              (std::vector<DWORD>{0xFFFF0101, 0x42, 0xB00F0000, 0x05, 0x800F0000, 0xB0E40000, 0xA0E40000, 0x0000FFFF}));
    s.SelectShader(engine, Target(0));
    EXPECT_EQ(dev->pixelShader, s.handle);
    EXPECT_EQ(dev->pixelConstants[4], (std::vector<float>{0.5f, 0.25f, 0.0f, 0.0f}));
    s.DisableShader(Target(0));
    EXPECT_EQ(dev->pixelShader, 0u);

    s.Release();
    EXPECT_TRUE(dev->pixelShaders.empty());
}

TEST_F(ShaderTest, PixelShaderScriptErrorsAndWarnings) {
    {
        gfxShaderObj s;
        EngineError e = LoadError(s, "twice.psh", "ps.1.1\nps.1.1\nmov r0, v0\n");
        EXPECT_EQ(e.number, 1005);
        EXPECT_EQ(e.source, "Engine->GetShader->LoadShader->LoadPixelShader");
        EXPECT_EQ(e.description, "Multiple Pixelshaders located");
    }
    {
        gfxShaderObj s;
        EngineError e = LoadError(s, "ts.psh", "ps.1.1\nmov r0, v0\nTS\nid\nTS\n");
        EXPECT_EQ(e.description, "Multiple Software sections");
    }
    {
        gfxShaderObj s;
        Load(s, "noversion.psh", "mov r0, v0\n");
        EXPECT_TRUE(Logged("Warning: Version code missing - bailing out"));
        EXPECT_FALSE(s.IsWorkingShader());
        EXPECT_EQ(dev->Count("CreatePixelShader"), 0u);
    }
    {
        gfxShaderObj s;
        Load(s, "typo.psh", "ps.1.1\nmov r0, v0\nfoo r0, v1\n");
        EXPECT_TRUE(Logged("Warning: Assembly error in typo"));
        EXPECT_TRUE(Logged("Description: line 3: unknown instruction 'foo'"));
        EXPECT_FALSE(s.IsWorkingShader());
    }
    {
        gfxShaderObj s;
        EngineError e = LoadError(s, "notes.txt", "hello\n");
        EXPECT_EQ(e.number, 1004);
        EXPECT_EQ(e.description, "File is not a shader program: notes");
        gfxShaderObj missing;
        try {
            missing.LoadShader(engine, dev, "nowhere");
            ADD_FAILURE();
        } catch (const EngineError& err) {
            EXPECT_EQ(err.number, 1002);
            EXPECT_EQ(err.source, "Engine->GetShader->LoadShader->Readpackage");
            EXPECT_EQ(err.description, "Could not read from package:nowhere");
        }
    }
}

TEST_F(ShaderTest, PixelShaderDeviceLimits) {
    RecordingScript script = RecordingScript::Default();
    script.caps.PixelShaderVersion = 0xFFFF0101;
    MakeDevice(script);
    gfxShaderObj high;
    Load(high, "high.psh", "ps.1.4\ntexld r0, t0\n");
    EXPECT_TRUE(Logged("Warning: Pixelshader version too low - bailing out"));
    EXPECT_FALSE(high.IsWorkingShader());

    script.caps.PixelShaderVersion = 0;
    MakeDevice(script);
    gfxShaderObj none;
    Load(none, "none.psh", "ps.1.1\nps.1.1\n");   // not even read
    EXPECT_TRUE(Logged("Warning: No pixelshader support - skip loading none"));
    EXPECT_FALSE(none.IsWorkingShader());

    script = RecordingScript::Default();
    script.pixelShadersWork = false;
    MakeDevice(script);
    gfxShaderObj failing;
    Load(failing, "fails.psh", "ps.1.1\nmov r0, v0\n");
    EXPECT_TRUE(Logged("Warning: Error creating pixel shader (" + std::to_string(D3DERR_INVALIDCALL) +
                       ") - bailing out"));
    EXPECT_FALSE(failing.IsWorkingShader());
    // A shader that is not working only disables when selected.
    failing.SelectShader(engine, Target(0));
    EXPECT_EQ(dev->Count("SetPixelShader"), 1u);
    EXPECT_EQ(dev->pixelShader, 0u);
}

TEST_F(ShaderTest, SettingsGateSelection) {
    gfxShaderObj texel;
    Load(texel, "scroll.tsh", "TS\nid\nload r2 0.5\n");
    engine.settings.textureTransforms = false;
    texel.SelectShader(engine, Target(0));
    EXPECT_EQ(dev->Count("SetTransform"), 0u);
    texel.DisableShader(Target(0));
    ExpectMatrix(dev->Transform(D3DTS_TEXTURE0), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});

    gfxShaderObj pixel;
    Load(pixel, "glow.psh", "ps.1.1\nmov r0, v0\n");
    engine.settings.pixelShaders = false;
    pixel.SelectShader(engine, Target(0));
    EXPECT_EQ(dev->Count("SetPixelShader"), 0u);
}

TEST_F(ShaderTest, VertexShadersAreCreatedButNeverWorking) {
    gfxShaderObj s;
    Load(s, "wave.vsh", "vs.1.1\n; transform\nm4x4 oPos, v0, c0\nmov oT0, v0\n");
    EXPECT_EQ(s.kind, gfxShaderObj::kVertex);
    EXPECT_FALSE(s.IsWorkingShader());
    EXPECT_EQ(s.vertexDeclaration, (std::vector<uint32_t>{0x20000000, 0x40010000, 0xFFFFFFFF}));
    EXPECT_EQ(s.shaderCode, (std::vector<uint32_t>{0xFFFE0101, 0x14, 0xC00F0000, 0x90E40000, 0xA0E40000, 0x01,
                                                   0xE00F0000, 0x90E40000, 0x0000FFFF}));
    EXPECT_EQ(dev->Count("CreateVertexShader"), 1u);
    currentVs = s.handle;
    s.SelectShader(engine, Target(0));
    EXPECT_EQ(dev->vertexShader, D3DFVF_ENGINE);
    EXPECT_EQ(currentVs, D3DFVF_ENGINE);
}

TEST_F(ShaderTest, InvalidByteCodeStopsExecution) {
    gfxShaderObj s;
    s.code = {1, 11};
    try {
        s.ExecuteTexelShader(nullptr, 0);
        ADD_FAILURE();
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, 1005);
        EXPECT_EQ(e.source, "Engine->SelectShader->ExecuteTexelShader");
        EXPECT_EQ(e.description, "Invalid opcode: B");
    }
    s.code = {6, 1};   // cut short
    EXPECT_THROW(s.ExecuteTexelShader(nullptr, 0), EngineError);
}

} // namespace
} // namespace rdv

namespace rdv {
namespace {

// The shader scripts the game ships, loaded from the source tree.
TEST(ShippedShaders, AllLoadAndAnimate) {
    Engine engine;
    engine.programFolder = std::filesystem::path(RDV_SOURCE_DIR) / "data";
    engine.settings.pixelShaders = engine.settings.textureTransforms = true;
    std::vector<Log::Line> log;
    engine.log.SetCapture(&log);
    auto adapter = std::make_shared<RecordingDirect3D8>();
    adapter->script = RecordingScript::Default();
    D3DPRESENT_PARAMETERS params{};
    params.Windowed = 1;
    std::shared_ptr<IDirect3DDevice8> device;
    ASSERT_EQ(adapter->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &params, device), D3D_OK);
    RecordingDevice* dev = adapter->LastDevice();

    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(engine.programFolder / "shaders")) {
        gfxShaderObj s;
        const std::string name = entry.path().stem().string();
        ASSERT_NO_THROW(s.LoadShader(engine, dev, name)) << name;
        EXPECT_TRUE(s.IsWorkingShader()) << name;
        for (uint32_t clock : {0u, 1234u, 98765u}) {
            s.SelectShader(engine, ShaderTarget{dev, nullptr, clock});
            for (float r : s.registers) EXPECT_TRUE(std::isfinite(r)) << name;
        }
        ++count;
    }
    EXPECT_GE(count, 18);   // 15 brush animations, water, force field, glow
    for (const auto& line : log) EXPECT_NE(line.colour, 4) << line.message;   // no warnings

    gfxShaderObj u, water, glow;
    u.LoadShader(engine, dev, "def_U");
    u.SelectShader(engine, ShaderTarget{dev, nullptr, 5000});
    EXPECT_NEAR(dev->Transform(D3DTS_TEXTURE0).m[2][0], 0.25f, 1e-5f);
    water.LoadShader(engine, dev, "Water");
    water.SelectShader(engine, ShaderTarget{dev, nullptr, 3000});
    EXPECT_NEAR(dev->Transform(D3DTS_TEXTURE0).m[2][0], 0.5f, 1e-5f);
    glow.LoadShader(engine, dev, "glow");
    glow.SelectShader(engine, ShaderTarget{dev, nullptr, 500});
    ASSERT_EQ(dev->pixelConstants.count(0), 1u);
    EXPECT_NEAR(dev->pixelConstants[0][0], 0.6f, 1e-4f);
    EXPECT_NEAR(dev->pixelConstants[0][1], 0.3f, 1e-4f);
    EXPECT_EQ(dev->pixelShader, glow.handle);
    engine.log.SetCapture(nullptr);
}

} // namespace
} // namespace rdv

#include "headless/RecordingEngine.h"
#include "graphics/Model.h"

namespace rdv {
namespace {

// Through the shader table and a model that names its shader: the engine's
// clock drives the transform while the model draws, and the model disables
// the shader again after its draw.
TEST(ShaderTable, ModelSelectsItsTexelShaderWithTheEngineClock) {
    const fs::path folder = fs::temp_directory_path() / "rdv_shader_table";
    fs::remove_all(folder);
    fs::create_directories(folder / "shaders");
    fs::create_directories(folder / "models");
    std::ofstream(folder / "shaders" / "Scroll.tsh") << "TS\nid\nloadtime r2 1000\nldc r9 1000\nmul r2 r9\n";
    std::ofstream(folder / "models" / "pane.tcm") << "4\nLST\nscroll\n1\n1\n3\n0\n1\nT\n"
                                                     "0\n0\n1\n255 255 255 RGB\n0\n0\n-\n"
                                                     "0\n-1\n0\n255 255 255 RGB\n1\n0\n-\n"
                                                     "0\n1\n0\n255 255 255 RGB\n0\n1\n-\n";
    auto t = MakeRecordingEngine(folder);
    gfxCore& gfx = t->gfx();
    const int32_t model = gfx.GetModel("pane");
    const int32_t shader = gfx.GetShader("SCROLL");   // the model's request was the first
    EXPECT_EQ(gfx.shaders.counts[shader], 2);
    ASSERT_NE(gfx.Shader(shader), nullptr);
    EXPECT_TRUE(gfx.Shader(shader)->IsWorkingShader());

    t->clock->Set(10300);
    t->device()->ClearCalls();
    gfx.Model(model)->DisplayMesh(t->engine, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1);
    std::vector<float> offsets;
    for (const RecordedCall* c : t->device()->Calls("SetTransform"))
        if (c->args[0] == D3DTS_TEXTURE0) offsets.push_back(c->floats[8]);   // row 2, column 0
    ASSERT_EQ(offsets.size(), 2u);
    EXPECT_NEAR(offsets[0], 0.3f, 1e-5f);
    EXPECT_NEAR(offsets[1], 0.0f, 1e-5f);   // disabled: identity
    EXPECT_EQ(t->device()->Count("DrawPrimitive"), 1u);
    fs::remove_all(folder);
}

} // namespace
} // namespace rdv
