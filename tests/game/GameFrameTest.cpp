#include "game/Game.h"

#include "GameTestSupport.h"
#include "game/BuiltClasses.h"
#include "level/Level.h"
#include "level/Object.h"
#include "level/Registry.h"
#include "platform/Clock.h"

namespace rdv::test {
namespace {

// Moves on by one millisecond every time it is read.
class CreepingClock final : public IClock {
public:
    uint32_t GetTickCount() override { return now++; }
    uint32_t now = 1000;
};

// Records every elapsed time the level hands its objects.
class ElapsedProbe : public LevelObject {
public:
    explicit ElapsedProbe(std::vector<int32_t>& log) : log_(log) {}
    void AssignVar(const std::string&, const std::string&) override {}
    void Tick(int32_t& elapsed) override { log_.push_back(elapsed); }
    std::string GetFullClassName() const override { return "System.Objects.Player.Ball"; }

private:
    std::vector<int32_t>& log_;
};

class GameFrameTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        InstallBuiltClasses(engine).Register("System.Ball", [this](Engine&, engLevel&) {
            return std::make_unique<ElapsedProbe>(ticks);
        });
        engine.settings.width = 640;
        engine.settings.height = 480;
        engine.platform.clock = clock;
        Write("maps/solo.tcs", "BTv1\n-World\nx=2\ny=2\nz=2\n-Ball\n");
        Write("maps/duo.tcs", "BTv1\n-World\nx=2\ny=2\nz=2\ndual=1\n-Ball\n");
        game = &Game(engine);
        game->readInput = [this] { return input; };
    }
    void Start(const std::string& level) {
        game->ReplaceLevel(level);
        game->lastTickTime = clock->GetTickCount();
        game->SetupViewports();
    }
    void Frame(uint32_t ms) {
        clock->Advance(ms);
        game->Frame();
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>(1000);
    std::vector<int32_t> ticks;
    MenuInput input;
    engGame* game = nullptr;
};

TEST_F(GameFrameTest, HeldEscTogglesOnceUntilReleased) {
    Start("solo");
    input.esc = true;
    Frame(10);
    EXPECT_TRUE(game->menuOpen);
    EXPECT_EQ(game->menuPage, 0);
    Frame(10);
    Frame(10);
    EXPECT_TRUE(game->menuOpen) << "holding Esc does not close the menu again";
    input.esc = false;
    Frame(10);
    input.esc = true;
    Frame(10);
    EXPECT_FALSE(game->menuOpen);
    EXPECT_EQ(ticks, (std::vector<int32_t>{10, 10, 10, 10, 10}));
}

TEST_F(GameFrameTest, EditorFlagOpensTheEditorPage) {
    engine.flags.editor = true;
    Start("solo");
    input.esc = true;
    Frame(5);
    EXPECT_TRUE(game->menuOpen);
    EXPECT_EQ(game->menuPage, 8);
}

TEST_F(GameFrameTest, InterlacedTwoPlayersAlternateHalvesAndViewsBehindTheMenu) {
    engine.settings.interlacing = true;
    Start("duo");
    ASSERT_EQ(game->viewMode, 1);
    Frame(10);
    EXPECT_EQ(engine.currentPlayer, 0);
    EXPECT_EQ(game->currentViewport, 1);
    Frame(10);
    EXPECT_EQ(engine.currentPlayer, 1);
    EXPECT_EQ(game->currentViewport, 2);

    input.esc = true;
    Frame(10);
    EXPECT_EQ(game->viewMode, 3);
    input.esc = false;
    Frame(10);
    EXPECT_EQ(engine.currentPlayer, 0);
    EXPECT_EQ(game->currentViewport, 0);
    game->viewTimer = 3000;
    Frame(2990);
    EXPECT_EQ(game->viewMode, 3);
    Frame(20);
    EXPECT_EQ(game->viewMode, 4);
    Frame(10);
    EXPECT_EQ(engine.currentPlayer, 1);
    input.esc = true;
    Frame(10);
    EXPECT_FALSE(game->menuOpen);
    EXPECT_EQ(game->viewMode, 1) << "closing the menu returns to the alternating halves";
}

TEST_F(GameFrameTest, NonInterlacedTwoViewsSplitTheTimeAndNeverStepBelowTwoMs) {
    auto creeping = std::make_shared<CreepingClock>();
    engine.platform.clock = creeping;
    Start("duo");
    ASSERT_EQ(game->viewMode, 5);
    game->lastTickTime = creeping->now;
    game->Frame();
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_GE(ticks[0] + ticks[1], 2);
    EXPECT_EQ(game->currentViewport, 0);

    ticks.clear();
    engine.platform.clock = clock;
    clock->Set(game->lastTickTime + 9);
    game->Frame();
    EXPECT_EQ(ticks, (std::vector<int32_t>{4, 5}));
    input.esc = true;
    Frame(4);
    EXPECT_EQ(game->viewMode, 5) << "without interlacing both halves stay behind the menu";
}

TEST_F(GameFrameTest, FailedLevelLoadKeepsTheCurrentLevel) {
    Start("solo");
    engLevel* before = game->Level();
    EXPECT_THROW(game->ReplaceLevel("absent"), EngineError);
    EXPECT_EQ(game->Level(), before);
}

// The current level and the engine share its light map; tearing the engine
// down must release it once, not once per holder plus once more.
TEST_F(GameFrameTest, EngineTeardownReleasesEachLevelsLightMapOnce) {
    std::weak_ptr<gfxLightMap> retired, current;
    {
        Engine other;
        other.programFolder = folder;
        InstallBuiltClasses(other).Register("System.Ball", [this](Engine&, engLevel&) {
            return std::make_unique<ElapsedProbe>(ticks);
        });
        Game(other).ReplaceLevel("solo");
        retired = other.lightMap;
        Game(other).ReplaceLevel("duo");
        current = other.lightMap;
        ASSERT_FALSE(current.expired());
        ASSERT_NE(current.lock(), retired.lock());
    }
    EXPECT_EQ(retired.use_count(), 0);
    EXPECT_EQ(current.use_count(), 0);
}

} // namespace
} // namespace rdv::test
