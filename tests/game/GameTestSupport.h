#pragma once
// A program folder of its own for each game-flow test and helpers to put
// data files into it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/Engine.h"
#include "core/Error.h"
#include "packages/Package.h"

namespace rdv::test {

class GameTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::path(RDV_BINARY_DIR) / "test-game" /
                 (std::string(info->test_suite_name()) + "." + info->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder / "data");
        std::filesystem::create_directories(folder / "maps");
        engine.programFolder = folder;
        engine.log.SetCapture(&logLines);
    }
    void Write(const std::string& relative, const std::string& text) {
        std::ofstream out(folder / relative, std::ios::binary);
        out << text;
    }
    std::string ReadBytes(const std::string& relative) {
        std::ifstream in(folder / relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    template <class F>
    EngineError Expect(F&& f) {
        try {
            f();
        } catch (const EngineError& e) {
            return e;
        }
        ADD_FAILURE() << "no engine error";
        return EngineError(0, "", "");
    }

    std::filesystem::path folder;
    Engine engine;
    std::vector<Log::Line> logLines;
};

} // namespace rdv::test
