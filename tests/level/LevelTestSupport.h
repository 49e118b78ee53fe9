#pragma once
// A program folder of its own for each level test, an engine pointing at
// it, and small level classes standing in for the ones the level file names.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/Engine.h"
#include "core/Error.h"
#include "game/BuiltClasses.h"
#include "level/Level.h"
#include "level/Object.h"
#include "level/Registry.h"

namespace rdv::test {

// Records what the level does to it.
class ProbeObject : public LevelObject {
public:
    ProbeObject(std::string fullName, std::string header, std::vector<std::string>* journal = nullptr)
        : fullName_(std::move(fullName)), header_(std::move(header)), journal_(journal) {}
    void AssignVar(const std::string& key, const std::string& value) override {
        if (key == "bad") RaiseInvalidProperty("objProbe", "Probe", key);
        properties.emplace_back(key, value);
    }
    void WriteHeader(LevelWriter& out) override {
        if (!header_.empty()) out.WriteLine(header_);
    }
    void Tick(int32_t& elapsed) override {
        if (journal_) journal_->push_back(fullName_ + " " + std::to_string(elapsed));
    }
    std::string GetFullClassName() const override { return fullName_; }
    std::vector<std::pair<std::string, std::string>> properties;

private:
    std::string fullName_, header_;
    std::vector<std::string>* journal_;
};

// A scripted tile: paints with its own number through the level.
class PaintingTile : public LevelObject, public ITile {
public:
    explicit PaintingTile(engLevel& level) : level_(level) {}
    void AssignVar(const std::string& key, const std::string& value) override {
        level_.Paintstruct(key, value);
    }
    void WriteHeader(LevelWriter& out) override { out.WriteLine("-MoveChain"); }
    std::string GetFullClassName() const override { return "System.Tiles.Special.Moverchain"; }
    std::string SectionName() const override { return "MoveChain"; }
    ITile* AsTile() override { return this; }

private:
    engLevel& level_;
};

class LevelTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::path(RDV_BINARY_DIR) / "test-levels" /
                 (std::string(info->test_suite_name()) + "." + info->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder / "maps");
        engine.programFolder = folder;
        engine.log.SetCapture(&logLines);
        // The game's classes, with doubles for the ones these tests watch.
        auto& registry = InstallBuiltClasses(engine);
        registry.Register("System.Ball", [](Engine&, engLevel&) {
            return std::make_unique<ProbeObject>("System.Objects.Player.Ball", "-Ball");
        });
        registry.Register("System.PointCamera", [](Engine&, engLevel&) {
            return std::make_unique<ProbeObject>("System.Camera.PointCamera", "");
        });
        registry.Register("System.Director", [](Engine&, engLevel&) {
            return std::make_unique<ProbeObject>("System.Director", "-Director");
        });
        registry.Register("System.MoveChain",
                          [](Engine&, engLevel& level) { return std::make_unique<PaintingTile>(level); });
        registry.Register("System.EditCamera", [](Engine&, engLevel&) {
            return std::make_unique<ProbeObject>("System.Camera.EditCamera", "");
        });
        registry.Register("System.DrawCursor", [](Engine&, engLevel&) {
            return std::make_unique<ProbeObject>("System.Objects.DrawCursor", "");
        });
        LoadSystemClasses(engine);
        level = std::make_unique<engLevel>(engine);
    }
    void TearDown() override {
        level.reset();
        engine.log.SetCapture(nullptr);
    }

    // Writes maps/<name>.tcs: the signature, then the lines joined by "\r\n".
    void WriteLevel(const std::string& name, const std::vector<std::string>& lines, const std::string& signature = "BTv1") {
        std::ofstream out(folder / "maps" / (name + ".tcs"), std::ios::binary);
        out << signature << "\r\n";
        for (const auto& line : lines) out << line << "\r\n";
    }
    std::vector<std::string> ReadLines(const std::string& name) {
        std::ifstream in(folder / "maps" / (name + ".tcs"), std::ios::binary);
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }
    // Loads and expects an engine error; returns it.
    EngineError LoadError(const std::string& name) {
        try {
            level->LoadLevel(name);
        } catch (const EngineError& e) {
            return e;
        }
        ADD_FAILURE() << "no error loading " << name;
        return EngineError(0, "", "");
    }
    bool Logged(const std::string& message, int colour) const {
        for (const auto& line : logLines)
            if (line.message == message && line.colour == colour) return true;
        return false;
    }

    Engine engine;
    std::filesystem::path folder;
    std::vector<Log::Line> logLines;
    std::unique_ptr<engLevel> level;
};

} // namespace rdv::test
