#pragma once
// A test suite sharing one offscreen OpenGL picture (a context per test
// would be slow). Every test starts with no level lights on the device, as
// models that are not light-mapped expect in a fresh scene.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "core/Engine.h"
#include "graphics/Core.h"
#include "graphics/LightMap.h"
#include "headless/ModelSnapshot.h"

namespace rdv::test {

struct Rgb {
    int r, g, b;
};

class SnapshotSuite : public ::testing::Test {
protected:
    static constexpr int kWidth = 320, kHeight = 240;

    static void SetUpTestSuite() {
        engine_ = new Engine;
        engine_->programFolder = RDV_GAME_DIR;
        shot_ = new ModelSnapshot(*engine_, kWidth, kHeight);
    }
    static void TearDownTestSuite() {
        delete shot_;
        delete engine_;
        shot_ = nullptr;
        engine_ = nullptr;
    }
    void SetUp() override {
        if (!shot_->ok()) GTEST_SKIP() << "no OpenGL: " << shot_->error();
        engine_->lightMap = std::make_shared<gfxLightMap>();
        Graphics(*engine_).device->LightEnable(1, 0);
    }
    // Pixel (x, y) of the last picture read back into pixels_.
    Rgb Px(int x, int y) const {
        const uint8_t* p = &pixels_[(static_cast<size_t>(y) * kWidth + x) * 4];
        return {p[0], p[1], p[2]};
    }

    static inline Engine* engine_ = nullptr;
    static inline ModelSnapshot* shot_ = nullptr;
    std::vector<uint8_t> pixels_;
};

} // namespace rdv::test
