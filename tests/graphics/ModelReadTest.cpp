// The model readers on plain text: tcm headers and sequences, colours, the
// blend-operation fallback, normals, the group cache, composites and brushes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "core/Error.h"
#include "graphics/ModelData.h"

using namespace rdv;
using ::testing::HasSubstr;

namespace {

class FakeHost : public ModelHost {
public:
    int32_t LoadTexture(const std::string& n) override { return Index(textures, n); }
    int32_t GetShader(const std::string& n) override { return Index(shaders, n); }
    int32_t GetModel(const std::string& n) override { return Index(models, n); }
    std::pair<int, int> TextureSize(int32_t) override { return {64, 32}; }
    bool HasBlendOp() override { return blendOp; }
    void Log(const std::string& m, int c) override { logs.push_back({m, c}); }

    static int32_t Index(std::map<std::string, int32_t>& table, const std::string& n) {
        auto it = table.find(n);
        if (it != table.end()) return it->second;
        int32_t i = static_cast<int32_t>(table.size()) + 1;
        table[n] = i;
        return i;
    }

    std::map<std::string, int32_t> textures, shaders, models;
    std::vector<std::pair<std::string, int>> logs;
    bool blendOp = true;
};

// One vertex as seven lines.
std::vector<std::string> Vtx(float x, float y, float z, const std::string& colour = "255 255 255 RGB") {
    return {std::to_string(x), std::to_string(y), std::to_string(z), colour, "0", "0", "-"};
}

std::vector<std::string> Join(std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A flat square in the plane x = 0 facing +x, as two triangles.
std::vector<std::string> SquareVertices() {
    return Join({Vtx(0, 1, 1), Vtx(0, -1, 1), Vtx(0, -1, -1), Vtx(0, 1, 1), Vtx(0, -1, -1), Vtx(0, 1, -1)});
}

ModelData Tcm(std::vector<std::string> lines, FakeHost& host, const std::string& name = "m") {
    ModelData m;
    ReadTcm(m, LinesFrom(std::move(lines)), name, host);
    return m;
}

EngineError TcmError(std::vector<std::string> lines, FakeHost& host, const std::string& name = "m") {
    try {
        Tcm(std::move(lines), host, name);
    } catch (const EngineError& e) {
        return e;
    }
    ADD_FAILURE() << "no error";
    return EngineError(0, "", "");
}

} // namespace

TEST(ParseColor, RgbBgrAndNumbers) {
    EXPECT_EQ(ParseColor("255 128 064 RGB"), 0xFF8040u);
    EXPECT_EQ(ParseColor("064 128 255 BGR"), 0xFF8040u);
    EXPECT_EQ(ParseColor("16711680"), 0xFF0000u);
    EXPECT_EQ(ParseColor("4278190335"), 0xFF0000FFu);   // alpha in a plain number survives
    EXPECT_EQ(ParseColor("12.5"), 12u);                  // halves round to even
    EXPECT_EQ(ParseColor("RGB"), 0u);                    // short text: missing fields are 0
    // The plain sum R * 65536 + G * 256 + B: a field beyond a byte carries
    // into the next one up, a negative one borrows from it.
    EXPECT_EQ(ParseColor("999 000 000 RGB"), 999u * 65536u);
    EXPECT_EQ(ParseColor("000 300 000 RGB"), 0x012C00u);
    EXPECT_EQ(ParseColor("001 000 -01 RGB"), 0x00FFFFu);
}

TEST(TcmReader, VersionTwoFirstLineIsAlsoTheRenderMode) {
    FakeHost host;
    auto m = Tcm(Join({{"2", "1", "3", "0", "1", "T", "wood"}, Vtx(0, 0, 0), Vtx(0, 1, 0), Vtx(0, 1, 1)}), host);
    EXPECT_EQ(m.renderMode, 2);
    ASSERT_EQ(m.sequences.size(), 1u);
    ASSERT_EQ(m.vertices.size(), 3u);
    EXPECT_EQ(m.sequences[0].texture, host.textures.at("wood"));
    EXPECT_EQ(m.textureIndex, 0);
    EXPECT_EQ(m.emissiveSource, 0);
    EXPECT_EQ(m.ambientDiffuseSource, 1);
    EXPECT_TRUE(m.lightMapped);
    EXPECT_FLOAT_EQ(m.material.Diffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(m.material.Ambient.g, 1.0f);
    EXPECT_FLOAT_EQ(m.material.Diffuse.a, 0.0f);
    EXPECT_FLOAT_EQ(m.material.Emissive.r, 0.0f);
}

TEST(TcmReader, VersionFourHeaderWithPAndSReadsTheShaderLine) {
    FakeHost host;
    auto m = Tcm(Join({{"4", "PS", "glow", "1", "1", "3", "0", "1", "T"}, Vtx(0, 0, 0), Vtx(0, 1, 0), Vtx(0, 1, 1)}),
                 host);
    EXPECT_EQ(m.renderMode, 1);
    EXPECT_EQ(m.shaderIndex, host.shaders.at("glow"));
    EXPECT_EQ(m.emissiveSource, 1);
    EXPECT_EQ(m.ambientDiffuseSource, 1);
    // Mode 1 without T takes the "none" texture.
    EXPECT_EQ(m.textureIndex, host.textures.at("none"));
    EXPECT_EQ(m.vertices.size(), 3u);
}

TEST(TcmReader, HeaderFlagsTLUAndMaterialLine) {
    FakeHost host;
    auto m = Tcm(Join({{"4", "TLUM", "255 128 064 RGB:20", "1", "1", "3", "0", "1", "T"}, Vtx(0, 0, 0),
                       Vtx(0, 1, 0), Vtx(0, 1, 1)}),
                 host);
    EXPECT_EQ(m.textureIndex, 0);  // T on mode 1: no texture at all
    EXPECT_EQ(host.textures.count("none"), 0u);
    EXPECT_FALSE(m.lightMapped);
    EXPECT_FLOAT_EQ(m.material.Emissive.r, 1.0f);
    EXPECT_FLOAT_EQ(m.material.Emissive.a, 0.0f);
    EXPECT_FLOAT_EQ(m.material.Diffuse.r, 0.0f);
    EXPECT_FLOAT_EQ(m.material.Ambient.r, 0.0f);
    EXPECT_FLOAT_EQ(m.material.Specular.r, 1.0f);
    EXPECT_NEAR(m.material.Specular.g, 128 / 255.0, 1e-6);
    EXPECT_NEAR(m.material.Specular.b, 64 / 255.0, 1e-6);
    EXPECT_FLOAT_EQ(m.material.Specular.a, 1.0f);
    EXPECT_FLOAT_EQ(m.material.Power, 20.0f);

    auto plain = Tcm(Join({{"4", "M", "8", "1", "1", "3", "0", "1", "T"}, Vtx(0, 0, 0), Vtx(0, 1, 0), Vtx(0, 1, 1)}),
                     host);
    EXPECT_FLOAT_EQ(plain.material.Specular.b, 1.0f);
    EXPECT_FLOAT_EQ(plain.material.Power, 8.0f);
}

TEST(TcmReader, ErrorsCarryTheirTexts) {
    FakeHost host;
    auto e = TcmError({"ab"}, host, "box");
    EXPECT_EQ(e.number, ErrFormat);
    EXPECT_EQ(e.source, "engine->GetModel->LoadModel");
    EXPECT_EQ(e.description, "Error in TCM parser (check: binary):box");
    EXPECT_EQ(TcmError({"5"}, host, "box").description, "Error in TCM parser (check: textmode version):box");
    EXPECT_EQ(TcmError({"1", "0", "3"}, host, "box").description, "Error in TCM parser (check: empty model):box");
    EXPECT_EQ(TcmError({"1", "2", "0"}, host, "box").description, "Error in TCM parser (check: empty model):box");
    EXPECT_EQ(TcmError({"1", "2", "3", "0", "1", "T", "0", "1", "Xq"}, host, "box").description,
              "Error in TCM parser (check: rendermode) sequence 2 (X) from:box");
    // The version is compared as text.
    for (const char* v : {"4.0", "  4", "004", "", "1xy"})
        EXPECT_EQ(TcmError({v}, host, "box").description, "Error in TCM parser (check: textmode version):box") << v;
    // A sequence count beyond the file meets an empty kind line.
    EXPECT_EQ(TcmError({"1", "5", "3", "0", "1", "T"}, host, "box").description,
              "Error in TCM parser (check: rendermode) sequence 2 () from:box");
}

TEST(TcmReader, AnUnknownRenderModeIsKeptAndReadsNoSequenceExtras) {
    FakeHost host;
    auto m = Tcm(Join({{"4", "", "7", "1", "3", "0", "1", "T"}, Vtx(0, 0, 0), Vtx(0, 1, 0), Vtx(0, 1, 1)}), host);
    EXPECT_EQ(m.renderMode, 7);
    ASSERT_EQ(m.vertices.size(), 3u);  // no texture or group line was taken from the vertices
    EXPECT_FLOAT_EQ(m.vertices[2].z, 1.0f);
    EXPECT_TRUE(host.textures.empty());
    EXPECT_TRUE(host.logs.empty());
    // Departs from the original: a mode that belongs to another model kind
    // would draw data a tcm lacks, so it is kept as an unknown mode.
    auto taken = Tcm(Join({{"4", "", "240", "1", "3", "0", "1", "T"}, Vtx(0, 0, 0), Vtx(0, 1, 0), Vtx(0, 1, 1)}), host);
    EXPECT_NE(taken.renderMode, kModeX);
    EXPECT_GT(taken.renderMode, kModeGrouped);
    ASSERT_EQ(host.logs.size(), 1u);
    EXPECT_EQ(host.logs[0].second, 5);
}

TEST(TcmReader, NothingIsReadOutsideTheData) {
    FakeHost host;
    // Past the end every line is empty: the missing vertices are zeros.
    auto m = Tcm(Join({{"1", "1", "4", "0", "1", "T"}, Vtx(1, 2, 3)}), host);
    ASSERT_EQ(m.vertices.size(), 4u);
    EXPECT_FLOAT_EQ(m.vertices[0].z, 3.0f);
    EXPECT_FLOAT_EQ(m.vertices[3].x, 0.0f);
    EXPECT_EQ(m.vertices[3].color, 0u);
    EXPECT_TRUE(host.logs.empty());

    // A run past the vertex list is cut to what fits, with a model warning.
    auto cut = Tcm(Join({{"1", "3", "4"}, {"0", "5", "T"}, {"2", "3", "S"}, {"9", "1", "P"},
                         Vtx(0, 0, 0), Vtx(0, 1, 0), Vtx(0, 1, 1), Vtx(0, 0, 1)}),
                   host);
    ASSERT_EQ(cut.sequences.size(), 3u);
    EXPECT_EQ(cut.sequences[0].count, 1);  // 4 vertices hold one triangle
    EXPECT_EQ(cut.sequences[1].count, 0);  // a strip from vertex 2 has no triangle
    EXPECT_EQ(cut.sequences[2].count, 0);  // starts beyond the list
    ASSERT_EQ(host.logs.size(), 3u);
    for (const auto& [text, colour] : host.logs) {
        EXPECT_EQ(colour, 5);
        EXPECT_THAT(text, HasSubstr("WARNING: Model sequence"));
    }
    EXPECT_THAT(host.logs[0].first, HasSubstr("sequence 1 "));

    // Departs from the original: a count far beyond the file stops growing
    // at a bound, and runs are cut to it.
    host.logs.clear();
    auto huge = Tcm(Join({{"1", "1", "2000000000", "0", "2000000000", "P"}, Vtx(0, 0, 0)}), host);
    EXPECT_LT(huge.vertices.size(), 2000000000u);
    EXPECT_EQ(huge.sequences[0].count, static_cast<int32_t>(huge.vertices.size()));
    ASSERT_FALSE(host.logs.empty());
    EXPECT_THAT(host.logs[0].first, HasSubstr("vertex list cut"));

    // A primitive count at the 32-bit limit is measured in vertices without
    // overflowing (3 x 2^31 for a triangle list; fuzz_tcm finding) and cut.
    host.logs.clear();
    auto limit = Tcm(Join({{"1", "2", "3"}, {"0", "2147483647", "T"}, {"1", "2147483647", "S"},
                           Vtx(0, 0, 0), Vtx(0, 1, 0), Vtx(0, 1, 1)}),
                     host);
    ASSERT_EQ(limit.sequences.size(), 2u);
    EXPECT_EQ(limit.sequences[0].count, 1);
    EXPECT_EQ(limit.sequences[1].count, 0);
    EXPECT_EQ(host.logs.size(), 2u);
}

TEST(TcmReader, SequenceKindsAndFlags) {
    FakeHost host;
    auto m = Tcm(Join({{"1", "6", "12"},
                       {"0", "1", "P"}, {"0", "1", "L"}, {"0", "1", "A"},
                       {"0", "1", "TARCP"}, {"0", "1", "S"}, {"0", "1", "F"},
                       Vtx(0, 0, 0), Vtx(0, 1, 0), Vtx(0, 1, 1), Vtx(0, 0, 1), Vtx(0, 0, 0), Vtx(0, 1, 0),
                       Vtx(0, 1, 1), Vtx(0, 0, 1), Vtx(0, 0, 0), Vtx(0, 1, 0), Vtx(0, 1, 1), Vtx(0, 0, 1)}),
                 host);
    ASSERT_EQ(m.sequences.size(), 6u);
    EXPECT_EQ(m.sequences[0].primitiveType, kPointList);
    EXPECT_EQ(m.sequences[1].primitiveType, kLineList);
    EXPECT_EQ(m.sequences[2].primitiveType, kLineStrip);
    EXPECT_EQ(m.sequences[3].primitiveType, kTriangleList);
    EXPECT_EQ(m.sequences[4].primitiveType, kTriangleStrip);
    EXPECT_EQ(m.sequences[5].primitiveType, kTriangleFan);
    const auto& t = m.sequences[3];
    EXPECT_TRUE(t.alpha && t.reverse && t.flagC && t.flagP);
    // The kind letter itself is not a flag: "A" (line strip) alone sets no alpha.
    EXPECT_FALSE(m.sequences[2].alpha);
}

// Departs from the original: only the run's own vertices turn black.
TEST(TcmReader, ReverseBlendingWithoutBlendOpTurnsItsVerticesBlack) {
    FakeHost host;
    auto lines = Join({{"1", "2", "6"}, {"0", "1", "TAR"}, {"3", "1", "T"},
                       Vtx(0, 0, 0, "255 000 000 RGB"), Vtx(0, 1, 0, "255 000 000 RGB"), Vtx(0, 1, 1, "255 000 000 RGB"),
                       Vtx(1, 0, 0, "000 255 000 RGB"), Vtx(1, 1, 0, "000 255 000 RGB"), Vtx(1, 1, 1, "000 255 000 RGB")});
    auto with = Tcm(lines, host);
    EXPECT_TRUE(with.sequences[0].alpha);
    EXPECT_TRUE(with.sequences[0].reverse);
    EXPECT_EQ(with.vertices[0].color, 0xFF0000u);

    host.blendOp = false;
    auto without = Tcm(lines, host);
    EXPECT_FALSE(without.sequences[0].alpha);
    EXPECT_FALSE(without.sequences[0].reverse);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(without.vertices[i].color, 0u) << i;
    // The next run keeps its colours.
    for (int i = 3; i < 6; ++i) EXPECT_EQ(without.vertices[i].color, 0x00FF00u) << i;
}

TEST(TcmReader, GroupedModelWithEqualGroupsBecomesModeTwo) {
    FakeHost host;
    auto m = Tcm(Join({{"3", "2", "6"}, {"0", "1", "T", "a", "4"}, {"3", "1", "T", "b", "4"}, SquareVertices()}), host);
    EXPECT_EQ(m.renderMode, 2);
    ASSERT_EQ(host.logs.size(), 1u);
    EXPECT_EQ(host.logs[0].first, "WARNING: Model uses rendundant sequence indices");
    EXPECT_EQ(host.logs[0].second, 5);
}

TEST(TcmReader, IndexCacheContiguousAndInterleaved) {
    FakeHost host;
    auto contiguous = Tcm(Join({{"3", "3", "6"},
                                {"0", "1", "T", "a", "0"}, {"0", "1", "T", "a", "2"}, {"3", "1", "T", "a", "2"},
                                SquareVertices()}),
                          host);
    ASSERT_TRUE(contiguous.indexCacheValid);
    EXPECT_TRUE(contiguous.indexCacheContiguous);
    ASSERT_EQ(contiguous.indexCache.size(), 3u);
    EXPECT_EQ(contiguous.indexCache[0], std::make_pair(0, 0));
    EXPECT_EQ(contiguous.indexCache[1], std::make_pair(-1, -1));
    EXPECT_EQ(contiguous.indexCache[2], std::make_pair(1, 2));

    auto interleaved = Tcm(Join({{"3", "3", "6"},
                                 {"0", "1", "T", "a", "1"}, {"0", "1", "T", "a", "2"}, {"3", "1", "T", "a", "1"},
                                 SquareVertices()}),
                           host);
    ASSERT_TRUE(interleaved.indexCacheValid);
    EXPECT_FALSE(interleaved.indexCacheContiguous);
    EXPECT_EQ(interleaved.indexCache[1], std::make_pair(0, 2));

    // A group above the sequence count leaves the cache unused.
    auto invalid = Tcm(Join({{"3", "2", "6"}, {"0", "1", "T", "a", "0"}, {"3", "1", "T", "a", "9"}, SquareVertices()}),
                       host);
    EXPECT_FALSE(invalid.indexCacheValid);
    EXPECT_EQ(invalid.renderMode, 3);
}

TEST(Normals, FlatSquareFacesItsFront) {
    FakeHost host;
    auto m = Tcm(Join({{"1", "1", "6"}, {"0", "2", "T"}, SquareVertices()}), host);
    for (const auto& v : m.vertices) {
        EXPECT_NEAR(v.nx, 1.0f, 1e-6);
        EXPECT_NEAR(v.ny, 0.0f, 1e-6);
        EXPECT_NEAR(v.nz, 0.0f, 1e-6);
    }
}

TEST(Normals, LinesKeepTheirMarkAndStripsFaceOneSide) {
    FakeHost host;
    auto m = Tcm(Join({{"1", "2", "6"}, {"0", "1", "L"}, {"2", "2", "S"},
                       Vtx(0, 0, 0), Vtx(0, 1, 0), Vtx(0, 1, 1), Vtx(0, -1, 1), Vtx(0, 1, -1), Vtx(0, -1, -1)}),
                 host);
    EXPECT_FLOAT_EQ(m.vertices[0].nx, -1.0f);  // untouched by the face pass
    EXPECT_FLOAT_EQ(m.vertices[1].nx, -1.0f);
    for (int i = 2; i < 6; ++i) EXPECT_NEAR(std::fabs(m.vertices[i].nx), 1.0f, 1e-6) << i;
    // Both strip triangles agree on the side.
    EXPECT_NEAR(m.vertices[2].nx, m.vertices[5].nx, 1e-6);
}

namespace {
// Two triangles meeting at the edge (0,0,0)-(0,1,0) with a 90 degree fold:
// one faces +z, the other +x.
std::vector<std::string> Fold(const std::string& kindA, const std::string& kindB) {
    return Join({{"1", "2", "6"}, {"0", "1", kindA}, {"3", "1", kindB},
                 Vtx(0, 0, 0), Vtx(0, 1, 0), Vtx(1, 0, 0),     // (b-a)x(c-b) = -z
                 Vtx(0, 1, 0), Vtx(0, 0, 0), Vtx(0, 0, 1)});   // -x
}
} // namespace

TEST(Normals, CSmoothingJoinsCoincidentVerticesAcrossSequences) {
    FakeHost host;
    auto flat = Tcm(Fold("T", "T"), host);
    EXPECT_NEAR(flat.vertices[0].nz, -1.0f, 1e-6);
    EXPECT_NEAR(flat.vertices[4].nx, -1.0f, 1e-6);

    auto smooth = Tcm(Fold("TC", "TC"), host);
    const float h = std::sqrt(0.5f);
    // (0,0,0) of both sequences, and (0,1,0) of both: the normalised sum.
    for (int i : {0, 1, 3, 4}) {
        EXPECT_NEAR(smooth.vertices[i].nx, -h, 1e-6) << i;
        EXPECT_NEAR(smooth.vertices[i].ny, 0.0f, 1e-6) << i;
        EXPECT_NEAR(smooth.vertices[i].nz, -h, 1e-6) << i;
    }
    // Corners that meet nothing keep their face normal.
    EXPECT_NEAR(smooth.vertices[2].nz, -1.0f, 1e-6);
    EXPECT_NEAR(smooth.vertices[5].nx, -1.0f, 1e-6);

    // P smooths only within its own sequence: two separate sequences stay apart.
    auto p = Tcm(Fold("TP", "TP"), host);
    EXPECT_NEAR(p.vertices[0].nz, -1.0f, 1e-6);
}

TEST(Normals, PSmoothingWithinOneSequence) {
    FakeHost host;
    auto m = Tcm(Join({{"1", "1", "6"}, {"0", "2", "TP"},
                       Vtx(0, 0, 0), Vtx(0, 1, 0), Vtx(1, 0, 0), Vtx(0, 1, 0), Vtx(0, 0, 0), Vtx(0, 0, 1)}),
                 host);
    const float h = std::sqrt(0.5f);
    EXPECT_NEAR(m.vertices[0].nx, -h, 1e-6);
    EXPECT_NEAR(m.vertices[0].nz, -h, 1e-6);
    EXPECT_NEAR(m.vertices[4].nx, -h, 1e-6);
    EXPECT_NEAR(m.vertices[2].nz, -1.0f, 1e-6);
}

TEST(Normals, SharedVertexAveragesItsFacesByCount) {
    // A fan around vertex 0: faces -z and -x share vertex 0 and vertex 2.
    FakeHost host;
    auto m = Tcm(Join({{"1", "1", "4"}, {"0", "2", "F"},
                       Vtx(0, 0, 0), Vtx(1, 0, 0), Vtx(0, 1, 0), Vtx(0, 0, 1)}),
                 host);
    const float h = std::sqrt(0.5f);
    EXPECT_NEAR(m.vertices[0].nx, h, 1e-6);
    EXPECT_NEAR(m.vertices[0].nz, h, 1e-6);
    EXPECT_NEAR(m.vertices[2].nx, h, 1e-6);
    EXPECT_NEAR(m.vertices[1].nz, 1.0f, 1e-6);   // only the first face
    EXPECT_NEAR(m.vertices[3].nx, 1.0f, 1e-6);   // only the second face
}

TEST(TcoReader, PartsThroughTheModelTable) {
    FakeHost host;
    ModelData m;
    ReadTco(m, LinesFrom({"3", "body", "0", "0", "arm", "0", "5", "Hat", "2", "99"}), "guy", host);
    EXPECT_EQ(m.renderMode, kModeComposite);
    ASSERT_EQ(m.parts.size(), 3u);
    EXPECT_EQ(m.parts[0].model, host.models.at("body"));
    EXPECT_EQ(m.parts[1].kind, 5);
    EXPECT_EQ(m.parts[2].model, host.models.at("Hat"));
    EXPECT_EQ(m.parts[2].stateKey, 2);
    // An animation kind outside -9..24 is drawn without animation, with a warning.
    EXPECT_EQ(m.parts[2].kind, 0);
    ASSERT_EQ(host.logs.size(), 1u);
    EXPECT_THAT(host.logs[0].first, HasSubstr("99"));

    ModelData shortFile;
    ReadTco(shortFile, LinesFrom({"5", "body", "0", "0"}), "guy", host);
    EXPECT_EQ(shortFile.parts.size(), 1u);
}

namespace {

std::vector<std::string> Brush(std::vector<std::string> polygonBody, const std::string& polygonOptions = "Texture=wall",
                               std::vector<std::string> actorTail = {}) {
    std::vector<std::string> out = {"Begin Map", "Begin Actor Class=Brush Name=B", "CsgOper=CSG_Add", "Begin Brush Name=B",
                                    "Begin PolyList", "Begin Polygon " + polygonOptions};
    out.insert(out.end(), polygonBody.begin(), polygonBody.end());
    for (const char* l : {"End Polygon", "End PolyList", "End Brush"}) out.push_back(l);
    out.insert(out.end(), actorTail.begin(), actorTail.end());
    out.push_back("End Actor");
    out.push_back("End Map");
    return out;
}

std::vector<std::string> SquarePolygon() {
    return {"Origin   +00000.000000,+00064.000000,+00032.000000",
            "Normal   +00001.000000,+00000.000000,+00000.000000",
            "TextureU +00000.000000,-00001.000000,+00000.000000",
            "TextureV +00000.000000,+00000.000000,-00001.000000",
            "Pan      U=16 V=0",
            "Vertex   +00000.000000,+00064.000000,+00032.000000",
            "Vertex   +00000.000000,+00000.000000,+00032.000000",
            "Vertex   +00000.000000,+00000.000000,+00000.000000",
            "Vertex   0 64 0"};
}

EngineError T3dError(std::vector<std::string> lines, FakeHost& host) {
    try {
        ModelData m;
        ReadT3d(m, LinesFrom(std::move(lines)), "room", host);
    } catch (const EngineError& e) {
        return e;
    }
    ADD_FAILURE() << "no error";
    return EngineError(0, "", "");
}

} // namespace

TEST(T3dReader, PolygonBecomesATexturedFan) {
    FakeHost host;
    ModelData m;
    ReadT3d(m, LinesFrom(Brush(SquarePolygon(), "Texture=wall Flags=4")), "room", host);
    EXPECT_EQ(m.renderMode, kModeBrush);
    ASSERT_EQ(m.sequences.size(), 1u);
    ASSERT_EQ(m.vertices.size(), 4u);
    const auto& s = m.sequences[0];
    EXPECT_EQ(s.primitiveType, kTriangleFan);
    EXPECT_EQ(s.count, 2);
    EXPECT_EQ(s.texture, host.textures.at("wall"));
    EXPECT_TRUE(s.alpha);
    EXPECT_EQ(s.shader, -1);
    // u = ((p - Origin) . TextureU + PanU) / 64, v likewise / 32.
    EXPECT_FLOAT_EQ(m.vertices[0].u, 16.0f / 64);
    EXPECT_FLOAT_EQ(m.vertices[1].u, 80.0f / 64);
    EXPECT_FLOAT_EQ(m.vertices[2].v, 1.0f);
    EXPECT_FLOAT_EQ(m.vertices[0].v, 0.0f);
    EXPECT_NEAR(m.vertices[0].nx, 1.0f, 1e-6);
}

TEST(T3dReader, FlagsChooseAlphaAndTheDefaultShader) {
    FakeHost host;
    ModelData m;
    ReadT3d(m, LinesFrom(Brush(SquarePolygon(), std::string("Flags=") + std::to_string(0x200 | 0x2000 | 0x1000 | 0x40))),
            "room", host);
    EXPECT_EQ(m.sequences[0].shader, host.shaders.at("def_USB"));
    EXPECT_TRUE(m.sequences[0].alpha);
    EXPECT_EQ(m.sequences[0].texture, host.textures.at("none"));
}

TEST(T3dReader, LocationRotationAndPostScaleMoveTheBrush) {
    FakeHost host;
    ModelData m;
    ReadT3d(m, LinesFrom(Brush(SquarePolygon(), "Texture=wall",
                               {"Location=(X=10.0,Y=0.0,Z=-5.0)", "Rotation=(Yaw=16384)",
                                "PostScale=(Scale=(X=2.0,Y=0.5,Z=1.0))"})),
            "room", host);
    // (0, 64, 32): scaled to (0, 32, 32), a quarter turn of yaw about z
    // takes y to -x: (-32, 0, 32); then moved by the location.
    EXPECT_NEAR(m.vertices[0].x, -22.0f, 1e-3);
    EXPECT_NEAR(m.vertices[0].y, 0.0f, 1e-3);
    EXPECT_NEAR(m.vertices[0].z, 27.0f, 1e-3);
    // Texture coordinates stay with the brush's own space.
    EXPECT_FLOAT_EQ(m.vertices[0].u, 16.0f / 64);
}

TEST(T3dReader, EverySyntaxError) {
    FakeHost host;
    auto first = T3dError({"Map data", "Begin Map", "End Map"}, host);
    EXPECT_EQ(first.source, "engine->GetModel->LoadModel");
    EXPECT_EQ(first.description, "Error in T3D parser: file does not start with map or brush data: room");

    const std::string block = "Engine->GetModel->LoadModel->LoadT3D";
    auto twoMaps = T3dError({"Begin Map", "Begin Map", "End Map", "End Map"}, host);
    EXPECT_EQ(twoMaps.source, block);
    EXPECT_EQ(twoMaps.description, "Syntax error: only one Begin Map allowed");

    EXPECT_EQ(T3dError({"Begin Map", "Begin Actor Name=x", "End Actor", "End Map"}, host).description,
              "Syntax error: Actor needs Class parameter");
    EXPECT_EQ(T3dError({"Begin Brush", "CsgOper=CSG_Intersect", "End Brush"}, host).description,
              "Syntax error: CsgOper must be CSG_Add or CSG_Subtract");

    auto vec = T3dError(Brush({"Origin 1.0 2.0"}), host);
    EXPECT_EQ(vec.source, "LoadT3D");
    EXPECT_EQ(vec.description, "Syntax Error: vector must be written like 1.0 2.0 -1.0");
    EXPECT_EQ(T3dError(Brush({"TextureU 1 x 2"}), host).description,
              "Syntax Error: vector must be written like 1.0 2.0 -1.0");
    auto vtx = T3dError(Brush({"Vertex 1 2 3 4"}), host);
    EXPECT_EQ(vtx.source, "LoadT3D");
    EXPECT_EQ(vtx.description, "Syntax Error: vertex must be written like 1.0 2.0 -1.0");

    auto few = T3dError(Brush({"Vertex 0 0 0", "Vertex 0 1 0"}), host);
    EXPECT_EQ(few.source, block);
    EXPECT_EQ(few.description, "Syntax Error: Polygon must consist of at least 3 vertices");

    EXPECT_EQ(T3dError({"Begin Map", "Begin Brush", "End Brush"}, host).description,
              "Syntax error: number of Begin statements does not match End statements (1)");
    EXPECT_EQ(T3dError({"Begin Brush", "End Brush", "End", "End"}, host).description,
              "Syntax error: number of Begin statements does not match End statements (-2)");
}

TEST(T3dReader, UnknownSectionsAndCommandsAreLogged) {
    FakeHost host;
    ModelData m;
    ReadT3d(m, LinesFrom({"Begin Map", "Begin Surface", "End Surface", "Frobnicate 3", "", "End Map"}), "room", host);
    ASSERT_EQ(host.logs.size(), 2u);
    EXPECT_EQ(host.logs[0].first, "Started unknown section:Surface");
    EXPECT_EQ(host.logs[1].first, "unknown cmd:Frobnicate 3");
    EXPECT_TRUE(m.vertices.empty());
}
