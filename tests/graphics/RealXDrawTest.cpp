// Every ".x" file of Debian's assimp-testmodels (written by several
// exporters: text, binary and compressed) loads through the model table and
// draws on the real OpenGL device offscreen: the picture of each, framed on
// its own bounds, is more than the clear colour. Textures are found under
// the names the files give them, as written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>

#include <unistd.h>

#include "core/Engine.h"
#include "core/Error.h"
#include "graphics/Core.h"
#include "graphics/LightMap.h"
#include "graphics/Model.h"
#include "headless/ModelSnapshot.h"
#include "platform/FileSearch.h"

using namespace rdv;
namespace fs = std::filesystem;

namespace {

const fs::path kRealFiles = "/usr/share/assimp/models/X";

// A program folder of the real files as models, the shipped "none" texture,
// and the files' own textures under the names the files write (backslashes
// and all: on this file system they are plain characters of a name).
class RealXDraw : public ::testing::Test {
protected:
    static constexpr int kSize = 160;

    static void SetUpTestSuite() {
        folder_ = new fs::path(fs::temp_directory_path() / ("rdv_realx_" + std::to_string(getpid())));
        fs::create_directories(*folder_ / "models");
        fs::create_directories(*folder_ / "textures");
        for (const auto& entry : fs::directory_iterator(fs::path(RDV_GAME_DIR) / "textures"))
            if (LowerCase(entry.path().stem().string()) == "none") fs::copy(entry.path(), *folder_ / "textures");
        const std::pair<const char*, const char*> textures[] = {
            {".\\test.png", "test.png"},
            {"C:\\code\\sourceforge\\kwxport\\trunkMerged\\test\\data\\bottom.tga", "bottom.tga"},
            {"C:\\code\\sourceforge\\kwxport\\trunkMerged\\test\\data\\top.tga", "top.tga"},
            {"C:\\code\\sourceforge\\kwxport\\trunkMerged\\test\\data\\updown.tga", "updown.tga"},
        };
        for (const auto& [written, file] : textures)
            fs::copy(kRealFiles / file, *folder_ / "textures" / (std::string(written) + ".img"));
        engine_ = new Engine;
        engine_->programFolder = *folder_;
        shot_ = new ModelSnapshot(*engine_, kSize, kSize);
    }
    static void TearDownTestSuite() {
        delete shot_;
        delete engine_;
        fs::remove_all(*folder_);
        delete folder_;
    }
    void SetUp() override {
        if (!shot_->ok()) GTEST_SKIP() << "no OpenGL: " << shot_->error();
        engine_->lightMap = std::make_shared<gfxLightMap>();
    }

    static inline fs::path* folder_ = nullptr;
    static inline Engine* engine_ = nullptr;
    static inline ModelSnapshot* shot_ = nullptr;
};

TEST_F(RealXDraw, EveryFileDrawsAPicture) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(kRealFiles))
        if (LowerCase(entry.path().extension().string()) == ".x") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 8u) << "no assimp-testmodels: run scripts/install-deps";
    gfxCore& gfx = Graphics(*engine_);
    for (const auto& file : files) {
        const std::string name = "real_" + LowerCase(file.stem().string());
        fs::copy_file(file, *folder_ / "models" / (name + ".x"), fs::copy_options::overwrite_existing);
        int32_t index = 0;
        try {
            index = gfx.GetModel(name);
        } catch (const EngineError& e) {
            ADD_FAILURE() << file.filename() << ": " << e.source << ": " << e.description;
            continue;
        }
        const gfxModel* model = gfx.Model(index);
        ASSERT_NE(model, nullptr);
        ASSERT_EQ(model->renderMode, 240) << file.filename();
        // Frame the model on its bounds, from the side and a little above.
        D3DXVECTOR3 low{1e30f, 1e30f, 1e30f}, high{-1e30f, -1e30f, -1e30f};
        for (const auto& v : model->data().vertices) {
            low = {std::min(low.x, v.x), std::min(low.y, v.y), std::min(low.z, v.z)};
            high = {std::max(high.x, v.x), std::max(high.y, v.y), std::max(high.z, v.z)};
        }
        const D3DXVECTOR3 centre = (low + high) * 0.5f;
        const D3DXVECTOR3 extent = high - low;
        const float radius = 0.5f * std::sqrt(extent.x * extent.x + extent.y * extent.y + extent.z * extent.z);
        shot_->Begin(centre + D3DXVECTOR3{2.2f * radius, 1.1f * radius, 0.8f * radius}, centre, {0, 0, 1});
        shot_->DrawModel(name);
        std::vector<uint8_t> rgba;
        ASSERT_TRUE(shot_->Finish(rgba));
        size_t drawn = 0;
        for (size_t i = 0; i < rgba.size(); i += 4)
            drawn += rgba[i] != rgba[0] || rgba[i + 1] != rgba[1] || rgba[i + 2] != rgba[2];
        EXPECT_GT(drawn, rgba.size() / 4 / 50) << file.filename() << " drew " << drawn << " pixels";
    }
}

} // namespace
