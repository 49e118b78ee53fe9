#pragma once
// What an `.x` model asks of the graphics module, answered for tests: the
// textures it names in order (each gets the next index) and its log lines.
#include <string>
#include <utility>
#include <vector>

#include "graphics/ModelData.h"

namespace rdv::test {

class XModelHost : public ModelHost {
public:
    int32_t LoadTexture(const std::string& n) override {
        textures.push_back(n);
        return static_cast<int32_t>(textures.size());
    }
    int32_t GetShader(const std::string&) override { return 0; }
    int32_t GetModel(const std::string&) override { return 0; }
    std::pair<int, int> TextureSize(int32_t) override { return {1, 1}; }
    bool HasBlendOp() override { return true; }
    void Log(const std::string& message, int) override { log.push_back(message); }
    std::vector<std::string> textures;
    std::vector<std::string> log;
};

} // namespace rdv::test
