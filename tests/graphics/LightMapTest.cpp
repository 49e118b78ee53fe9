// Light maps: the default light, the "tci" file and its checks, and the
// rule that lights are set only when they are not on the device already.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <fstream>
#include <unistd.h>

#include "core/Error.h"
#include "headless/RecordingEngine.h"
#include "graphics/LightMap.h"
#include "packages/Package.h"

using namespace rdv;
namespace fs = std::filesystem;

namespace {

class TciWriter {
public:
    TciWriter(int32_t signature = kLightMapSignature, int32_t version = 1, int32_t count = 0) {
        Long(signature);
        Long(version);
        Long(count);
    }
    void Light(uint8_t type, float x, float y, float z, float att0, float att1, float att2, float range,
               const uint8_t diffuse[4], const uint8_t specular[4]) {
        bytes.push_back(type);
        for (float f : {x, y, z, att0, att1, att2, range}) Float(f);
        bytes.insert(bytes.end(), diffuse, diffuse + 4);
        bytes.insert(bytes.end(), specular, specular + 4);
    }
    void Long(int32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
    }
    void Float(float f) {
        int32_t v;
        std::memcpy(&v, &f, 4);
        Long(v);
    }
    std::vector<uint8_t> bytes;
};

class MapsFolder {
public:
    MapsFolder() {
        root = fs::temp_directory_path() / ("rdv_lightmap_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "maps");
        engine.programFolder = root;
    }
    ~MapsFolder() { fs::remove_all(root); }
    void Write(const std::string& file, const std::vector<uint8_t>& bytes) {
        std::ofstream(root / "maps" / file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    EngineError LoadError(gfxLightMap& map, const std::string& name) {
        try {
            map.LoadLightMap(engine, name);
        } catch (const EngineError& e) {
            return e;
        }
        ADD_FAILURE() << "no error";
        return EngineError(0, "", "");
    }
    fs::path root;
    Engine engine;
};

const uint8_t kDiffuse[4] = {255, 255, 128, 0};   // alpha, red, green, blue
const uint8_t kSpecular[4] = {0, 51, 102, 153};

} // namespace

TEST(LightMap, FreshMapHoldsTheDefaultDirectionalLight) {
    gfxLightMap map;
    ASSERT_EQ(map.count(), 1);
    const D3DLIGHT8& l = map.light(1);
    EXPECT_EQ(l.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_FLOAT_EQ(l.Diffuse.r, 0.8f);
    EXPECT_FLOAT_EQ(l.Diffuse.b, 0.8f);
    EXPECT_FLOAT_EQ(l.Diffuse.a, 0.0f);
    EXPECT_FLOAT_EQ(l.Specular.g, 1.0f);
    EXPECT_FLOAT_EQ(l.Specular.a, 1.0f);
    EXPECT_FLOAT_EQ(l.Direction.x, -1.0f);
    EXPECT_FLOAT_EQ(l.Direction.y, 0.5f);
    EXPECT_NEAR(l.Direction.z, -0.4444444f, 1e-6);
    EXPECT_FLOAT_EQ(l.Ambient.r, 0.0f);
    EXPECT_FLOAT_EQ(l.Range, 0.0f);
}

TEST(LightMap, FileLightsArePointLightsAtTheFixedPlace) {
    // Two lights the file puts apart, with their own falloff and reach:
    // both end up at (-2, 0, 0) with range 100 and attenuation (1, 1, a2),
    // a2 and the colours as the file gives them.
    MapsFolder f;
    TciWriter w(kLightMapSignature, 1, 2);
    w.Light(1, 10, 20, 30, 5, 6, 0.25f, 7, kDiffuse, kSpecular);
    w.Light(1, -3, 4, 8, 9, 9, 0.5f, 9, kDiffuse, kSpecular);
    f.Write("level1.tci", w.bytes);
    gfxLightMap map;
    map.LoadLightMap(f.engine, "level1");
    EXPECT_EQ(map.version(), 1);
    ASSERT_EQ(map.count(), 2);
    for (int i = 1; i <= 2; ++i) {
        const D3DLIGHT8& l = map.light(i);
        EXPECT_EQ(l.Type, D3DLIGHT_POINT);
        EXPECT_FLOAT_EQ(l.Ambient.r, 0.0f);
        EXPECT_FLOAT_EQ(l.Direction.x, 0.0f);
    }
    const D3DLIGHT8& a = map.light(1);
    const D3DLIGHT8& b = map.light(2);
    EXPECT_EQ((std::vector<float>{a.Position.x, a.Position.y, a.Position.z}), (std::vector<float>{-2, 0, 0}));
    EXPECT_EQ((std::vector<float>{b.Position.x, b.Position.y, b.Position.z}), (std::vector<float>{-2, 0, 0}));
    EXPECT_EQ((std::vector<float>{a.Attenuation0, a.Attenuation1, a.Attenuation2, a.Range}),
              (std::vector<float>{1, 1, 0.25f, 100}));
    EXPECT_EQ((std::vector<float>{b.Attenuation0, b.Attenuation1, b.Attenuation2, b.Range}),
              (std::vector<float>{1, 1, 0.5f, 100}));
    EXPECT_FLOAT_EQ(map.light(1).Diffuse.r, 1.0f);
    EXPECT_NEAR(map.light(1).Diffuse.g, 128 / 255.0, 1e-6);
    EXPECT_FLOAT_EQ(map.light(1).Diffuse.b, 0.0f);
    EXPECT_FLOAT_EQ(map.light(1).Diffuse.a, 1.0f);
    EXPECT_NEAR(map.light(1).Specular.r, 0.2, 1e-6);
    EXPECT_NEAR(map.light(1).Specular.b, 0.6, 1e-6);
    EXPECT_EQ(Packages(f.engine).OpenCount(), 0u);
}

TEST(LightMap, ValuesThatCannotLightAreReadPastOrCountAsNoFalloff) {
    // Not a number, infinite or negative: the fixed values do not care,
    // and an attenuation 2 the device cannot use (a negative one would let
    // the falloff reach zero) counts as 0. The colours stay as written.
    MapsFolder f;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    TciWriter w(kLightMapSignature, 1, 3);
    w.Light(1, nan, 2, 3, -1, inf, nan, -5, kDiffuse, kSpecular);
    w.Light(1, 4, inf, 6, 0, 0, -0.5f, 0, kDiffuse, kSpecular);
    w.Light(1, 7, 8, 9, 0.5f, 0.125f, 0.0625f, inf, kDiffuse, kSpecular);
    f.Write("damaged.tci", w.bytes);
    gfxLightMap map;
    map.LoadLightMap(f.engine, "damaged");
    ASSERT_EQ(map.count(), 3);
    auto pos = [&](int i) {
        const D3DLIGHT8& l = map.light(i);
        return std::vector<float>{l.Position.x, l.Position.y, l.Position.z};
    };
    auto falloff = [&](int i) {
        const D3DLIGHT8& l = map.light(i);
        return std::vector<float>{l.Attenuation0, l.Attenuation1, l.Attenuation2, l.Range};
    };
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(pos(i), (std::vector<float>{-2, 0, 0})) << i;
    EXPECT_EQ(falloff(1), (std::vector<float>{1, 1, 0, 100}));
    EXPECT_EQ(falloff(2), (std::vector<float>{1, 1, 0, 100}));
    EXPECT_EQ(falloff(3), (std::vector<float>{1, 1, 0.0625f, 100}));
    EXPECT_NEAR(map.light(2).Diffuse.g, 128 / 255.0, 1e-6);
}

TEST(LightMap, EmptyFileLeavesNoLights) {
    MapsFolder f;
    f.Write("dark.tci", TciWriter(kLightMapSignature, 1, 0).bytes);
    gfxLightMap map;
    map.LoadLightMap(f.engine, "dark");
    EXPECT_EQ(map.count(), 0);
    auto t = MakeRecordingEngine();
    t->device()->ClearCalls();
    map.ApplyLightMap(*t->device(), 1, 2, 3);
    EXPECT_EQ(t->device()->Count("SetLight"), 0u);
}

TEST(LightMap, FileChecks) {
    MapsFolder f;
    gfxLightMap map;
    auto missing = f.LoadError(map, "none_here");
    EXPECT_EQ(missing.number, ErrFileAccess);
    EXPECT_EQ(missing.source, "Engine->LoadLevel->LoadLightMap->OpenPackage");
    EXPECT_EQ(missing.description, "Couldnt open package: none_here");

    f.Write("wrong.dat", TciWriter().bytes);
    auto type = f.LoadError(map, "wrong");
    EXPECT_EQ(type.number, ErrFileType);
    EXPECT_EQ(type.source, "Engine->LoadLevel->LoadLightMap");
    EXPECT_EQ(type.description, "Package type check failed: wrong");

    f.Write("sig.tci", TciWriter(0x6D696375).bytes);
    auto sig = f.LoadError(map, "sig");
    EXPECT_EQ(sig.number, ErrFormat);
    EXPECT_EQ(sig.source, "Engine->LoadLevel->LoadLightMap");
    EXPECT_EQ(sig.description, "File check (signature) failed: sig");

    // Version 2 is refused once its header has been read.
    TciWriter v2(kLightMapSignature, 2, 1);
    v2.Light(1, 0, 0, 0, 0, 0, 0, 0, kDiffuse, kSpecular);
    f.Write("v2.tci", v2.bytes);
    EXPECT_EQ(f.LoadError(map, "v2").description, "File check (version) failed: v2");
    EXPECT_EQ(map.version(), 2);

    TciWriter spot(kLightMapSignature, 1, 2);
    spot.Light(1, 0, 0, 0, 0, 0, 0.75f, 0, kDiffuse, kSpecular);
    spot.Light(2, 0, 0, 0, 0, 0, 0, 0, kDiffuse, kSpecular);
    f.Write("spot.tci", spot.bytes);
    EXPECT_EQ(f.LoadError(map, "spot").description, "File check (light type) failed: spot");
    // The entries read before the bad one stay.
    ASSERT_EQ(map.count(), 1);
    EXPECT_FLOAT_EQ(map.light(1).Attenuation2, 0.75f);

    // A count beyond the file's end stops at the first missing entry
    // instead of reserving room for it.
    f.Write("huge.tci", TciWriter(kLightMapSignature, 1, 0x7FFFFFFF).bytes);
    EXPECT_EQ(f.LoadError(map, "huge").description, "File check (light type) failed: huge");
    EXPECT_EQ(Packages(f.engine).OpenCount(), 0u);
}

TEST(LightMap, LightsAreSetOnlyWhenTheyAreNotOnTheDevice) {
    auto t = MakeRecordingEngine();
    RecordingDevice& dev = *t->device();
    gfxLightMap map;
    dev.ClearCalls();
    // The first apply always sets the lights, even at the origin.
    map.ApplyLightMap(dev, 0, 0, 0);
    map.ApplyLightMap(dev, 0, 0, 0);
    EXPECT_EQ(dev.Count("SetLight"), 1u);
    ASSERT_EQ(dev.Count("LightEnable"), 1u);
    EXPECT_EQ(dev.Calls("LightEnable")[0]->args, (std::vector<DWORD>{1, 1}));
    // The lights do not depend on the position: moving on sets nothing.
    map.ApplyLightMap(dev, 0, 0, 0.5f);
    map.ApplyLightMap(dev, 3, 0, 0.5f);
    EXPECT_EQ(dev.Count("SetLight"), 1u);
    EXPECT_FLOAT_EQ(map.lastPosition().x, 3.0f);
    // A changed light goes on again.
    map.WriteLight(1);
    map.workingLight.Diffuse.g = 0.25f;
    map.LoadLight(1);
    map.ApplyLightMap(dev, 3, 0, 0.5f);
    ASSERT_EQ(dev.Count("SetLight"), 2u);
    EXPECT_FLOAT_EQ(dev.lights[1].Diffuse.g, 0.25f);
    // After a device reset the lights are gone: Invalidate sets them again.
    map.Invalidate();
    map.ApplyLightMap(dev, 3, 0, 0.5f);
    EXPECT_EQ(dev.Count("SetLight"), 3u);
    // Another device has none of them.
    auto other = MakeRecordingEngine();
    other->device()->ClearCalls();
    map.ApplyLightMap(*other->device(), 3, 0, 0.5f);
    EXPECT_EQ(other->device()->Count("SetLight"), 1u);
}

TEST(LightMap, AnotherMapsLightsAreReplacedOnTheEngineDevice) {
    auto t = MakeRecordingEngine();
    RecordingDevice& dev = *t->device();
    gfxLightMap first, second;
    second.WriteLight(1);
    second.workingLight.Diffuse.r = 0.5f;
    second.LoadLight(1);
    dev.ClearCalls();
    first.ApplyLightMap(t->engine, 0, 0, 0);
    second.ApplyLightMap(t->engine, 0, 0, 0);
    EXPECT_FLOAT_EQ(dev.lights[1].Diffuse.r, 0.5f);
    first.ApplyLightMap(t->engine, 0, 0, 0);
    EXPECT_FLOAT_EQ(dev.lights[1].Diffuse.r, 0.8f);
    EXPECT_EQ(dev.Count("SetLight"), 3u);
    first.ApplyLightMap(t->engine, 1, 1, 1);
    EXPECT_EQ(dev.Count("SetLight"), 3u);
}

TEST(LightMap, WorkingLightCopiesInAndOut) {
    gfxLightMap map;
    map.WriteLight(1);
    EXPECT_FLOAT_EQ(map.workingLight.Diffuse.r, 0.8f);
    map.workingLight.Diffuse.r = 0.1f;
    map.LoadLight(1);
    EXPECT_FLOAT_EQ(map.light(1).Diffuse.r, 0.1f);
    map.LoadLight(5);   // beyond the map: ignored
    EXPECT_EQ(map.count(), 1);
}
