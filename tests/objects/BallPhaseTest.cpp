#include <cmath>
#include <set>

#include "objects/BallTestSupport.h"

namespace rdv::test {
namespace {

TEST_F(BallTest, OneCallRunsOutSeveralPhasesAndAnExactFitEndsThePhase) {
    Place(2, 2, 2);
    Tile(2, 2, 2, 0, 0, -1, 1);
    // Phase 2 with 100 left, given 600: phase 1 after 100, HitFloor at 500,
    // then 100 of the landing's 500 are spent.
    ball->phase = 2;
    ball->phaseTime = 100;
    Run(600);
    EXPECT_EQ(ball->phase, 3);
    EXPECT_EQ(ball->phaseTime, 400);

    ball->phase = 2;
    ball->phaseTime = 100;
    Run(100);
    EXPECT_EQ(ball->phase, 1);
    EXPECT_EQ(ball->phaseTime, 400);
    Run(399);
    EXPECT_EQ(ball->phase, 1);
    EXPECT_EQ(ball->phaseTime, 1);
    // No time, no expiry, even at zero left.
    Run(1);
    EXPECT_EQ(ball->phase, 3);
    ball->phaseTime = 0;
    Run(0);
    EXPECT_EQ(ball->phase, 3);
}

TEST_F(BallTest, WithNoKeyABallBouncesOnTheSpotEvery1300Ms) {
    Place(2, 2, 2);
    Tile(2, 2, 2, 0, 0, -1, 1);
    std::vector<std::pair<int, int>> changes;
    int last = ball->phase;
    for (int t = 1; t <= 2700; ++t) {
        Run(1);
        if (ball->phase != last) changes.emplace_back(t, ball->phase);
        last = ball->phase;
    }
    const std::vector<std::pair<int, int>> expected = {{1, 3}, {500, 2}, {900, 1}, {1300, 3}, {1800, 2}, {2200, 1}, {2600, 3}};
    EXPECT_EQ(changes, expected);
    EXPECT_TRUE(AtCell(2, 2, 2));

    // The drawn ball: lifted to the centre at the start of phase 1, back at
    // rest height at its end, squashed deepest half-way through phase 3.
    ball->phase = 1;
    ball->phaseTime = 400;
    D3DXVECTOR3 d, s;
    ball->ComputeDisplay(d, s);
    EXPECT_NEAR(d.z, 3.0f, 1e-5);
    ball->phaseTime = 0;
    ball->ComputeDisplay(d, s);
    EXPECT_NEAR(d.z, 2.6f, 1e-5);
    ball->phase = 3;
    ball->phaseTime = 250;
    ball->ComputeDisplay(d, s);
    EXPECT_NEAR(d.z, 3.0f - 0.55f, 1e-4);
    EXPECT_NEAR(s.z, 0.1f, 1e-4);
    EXPECT_NEAR(s.x, 0.25f, 1e-6);
}

TEST_F(BallTest, HeldTurnKeyTurnsEvery350MsAndALostBallNeverTurns) {
    Place(2, 2, 2);
    Tile(2, 2, 2, 0, 0, -1, 1);
    hand.rot = 1;
    Run(10);
    EXPECT_EQ(ball->turnTime, 350);
    EXPECT_EQ(ball->targetHeading, (D3DXVECTOR3{-1, 0, 0}));
    // A turn key during a turn does nothing; the heading changes half-way.
    for (int i = 0; i < 17; ++i) Run(10);
    EXPECT_EQ(ball->heading, (D3DXVECTOR3{0, 1, 0}));
    EXPECT_EQ(ball->targetHeading, (D3DXVECTOR3{-1, 0, 0}));
    Run(10);
    EXPECT_EQ(ball->heading, (D3DXVECTOR3{-1, 0, 0}));
    for (int i = 0; i < 17; ++i) Run(10);
    // 350 ms after it started the turn ends and the next one begins.
    EXPECT_EQ(ball->turnTime, 0 + 350);
    EXPECT_EQ(ball->heading, (D3DXVECTOR3{-1, 0, 0}));
    EXPECT_EQ(ball->targetHeading, (D3DXVECTOR3{0, -1, 0}));

    // An overrun lengthens the next turn.
    ball->turnTime = 350;
    Run(400);
    EXPECT_EQ(ball->heading, (D3DXVECTOR3{0, -1, 0}));
    EXPECT_EQ(ball->turnTime, 400);

    // The other key turns the other way.
    ball->turnTime = 0;
    hand.rot = -1;
    ball->heading = {0, 1, 0};
    Run(1);
    EXPECT_EQ(ball->targetHeading, (D3DXVECTOR3{1, 0, 0}));

    ball->turnTime = 0;
    ball->heading = ball->targetHeading = {0, 1, 0};
    ball->lostCount = 1;
    Run(10);
    EXPECT_EQ(ball->turnTime, 0);
    EXPECT_EQ(ball->targetHeading, (D3DXVECTOR3{0, 1, 0}));
}

TEST_F(BallTest, AFinishedTurnDrawsTheTurnToAnglesAndStartsTheNextFromTheSettledOnes) {
    Place(2, 2, 2);
    Tile(2, 2, 2, 0, 0, -1, 1);
    ball->heading = ball->targetHeading = {0, -1, 0};
    ball->side = {1, 0, 0};
    ball->viewUp = {0, 0, 1};
    ball->ChooseOrientation();
    ball->angles = ball->turnFrom = ball->settledAngles;
    hand.rot = -1;  // heading x viewUp = (-1, 0, 0)
    Run(1);
    ASSERT_EQ(ball->targetHeading, (D3DXVECTOR3{-1, 0, 0}));
    hand.rot = 0;
    Run(175);
    const float half = 3.14159f + (3.14159f / 2 - 3.14159f) * 0.5f;
    EXPECT_NEAR(ball->angles.z, half, 1e-4);
    Run(175);
    EXPECT_EQ(ball->turnTime, 0);
    EXPECT_FLOAT_EQ(ball->angles.z, ball->turnTo.z);
    EXPECT_FLOAT_EQ(ball->turnFrom.z, ball->settledAngles.z);
}

TEST_F(BallTest, AJumpRequestSurvivesAFallAndIsClearedByAnEmptyFace) {
    Place(2, 2, 3);
    Tile(2, 2, 2, 0, 0, -1, 1);
    hand.jump = true;
    Run(1);
    hand.jump = false;
    EXPECT_EQ(ball->phase, 10);
    EXPECT_TRUE(ball->jumpRequest);
    EXPECT_EQ(RunUntilPhase(3), 599);
    EXPECT_TRUE(AtCell(2, 2, 2));
    EXPECT_TRUE(ball->jumpRequest);
    EXPECT_EQ(ball->bounce, 1);  // one cell of fall, under the wall's limit
    // Used at the end of the landing: +1 for the jump, -1 for the free cell.
    EXPECT_EQ(RunUntilPhase(9), 500);
    EXPECT_FALSE(ball->jumpRequest);
    EXPECT_EQ(ball->bounce, 1);

    // A ring (effect 0) below clears it.
    ball->ResetBall();
    Place(2, 2, 4);
    Tile(2, 2, 4, 0, 0, -1, 4);
    ball->jumpRequest = true;
    Run(1);
    EXPECT_EQ(ball->phase, 10);
    EXPECT_FALSE(ball->jumpRequest);
}

TEST_F(BallTest, AJumpRisesWhileTheBounceLastsAndThenFallsBack) {
    Place(2, 2, 1);
    Tile(2, 2, 1, 0, 0, -1, 1);
    Run(1);
    hand.jump = true;
    ASSERT_EQ(RunUntilPhase(9), 499);
    hand.jump = false;
    EXPECT_TRUE(AtCell(2, 2, 1));
    // The rise happens when phase 9 runs out; bounce 0 then settles.
    EXPECT_EQ(RunUntilPhase(2), 600);
    EXPECT_TRUE(AtCell(2, 2, 2));
    EXPECT_EQ(RunUntilPhase(10), 800);
    EXPECT_EQ(RunUntilPhase(3), 600);
    EXPECT_TRUE(AtCell(2, 2, 1));
}

TEST_F(BallTest, PropertiesSetTheStartAndReportTheirErrors) {
    ball->AssignVar("x", "1");
    ball->AssignVar("y", "2.5");
    ball->AssignVar("z", "3");
    EXPECT_EQ(ball->startPosition, (D3DXVECTOR3{1.5f, 3.75f, 4.5f}));
    ball->AssignVar("flipped", "true");
    ball->AssignVar("up", "-x");
    EXPECT_EQ(ball->up, (D3DXVECTOR3{-1, 0, 0}));
    EXPECT_EQ(ball->viewUp, (D3DXVECTOR3{1, 0, 0}));
    EXPECT_EQ(ball->startUp, ball->up);
    ball->AssignVar("flipped", "0");
    EXPECT_EQ(ball->viewUp, (D3DXVECTOR3{-1, 0, 0}));

    ball->AssignVar("player", "2");
    EXPECT_EQ(ball->player, 1);
    EXPECT_TRUE(ball->ownsController);
    LevelObject* handler = ball->controller;
    try {
        ball->AssignVar("player", "3");
        FAIL() << "player 3 accepted";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, 1005);
        EXPECT_EQ(e.source, "Engine->LoadLevel->ReadLevelFile->AssignProperty->objBall.AssignVar");
        EXPECT_EQ(e.description, "Invalid property value for 'Ball.player', must be 1 or 2: 3");
    }
    EXPECT_EQ(ball->player, 2);
    EXPECT_EQ(ball->controller, handler);

    const std::pair<const char*, const char*> bad[] = {
        {"up", "w"}, {"flipped", "yes"}, {"colour", "red"}};
    const char* texts[] = {"Invalid property value for 'Ball.up', must be (-)x/y/z : w",
                           "Invalid property value for 'Ball.flipped', must be true/false : yes",
                           "Invalid property for 'Ball': colour"};
    for (size_t i = 0; i < 3; ++i) {
        try {
            ball->AssignVar(bad[i].first, bad[i].second);
            ADD_FAILURE() << bad[i].first;
        } catch (const EngineError& e) {
            EXPECT_EQ(e.number, 1005);
            EXPECT_EQ(e.description, texts[i]);
        }
    }
    EXPECT_EQ(ball->up, (D3DXVECTOR3{-1, 0, 0}));

    ball->AssignVar("player", "1");
    LineListWriter out;
    ball->WriteHeader(out);
    const std::vector<std::string> lines = {"-Ball", "x=1", "y=2.5", "z=3", "player=1", "up=-x"};
    EXPECT_EQ(out.lines, lines);

    // A controller property must name a controller.
    const int32_t n = level->AddObject(std::make_unique<HandController>());
    ball->AssignVar("controller", std::to_string(n));
    EXPECT_EQ(ball->controller, level->MapObject(n));
    EXPECT_FALSE(ball->ownsController);
    EXPECT_THROW(ball->AssignVar("controller", "99"), EngineError);
}

TEST_F(BallTest, VeriDirKeepsTheHeadingAcrossUpAndResetStartsANewLife) {
    ball->AssignVar("up", "y");
    EXPECT_EQ(ball->heading, (D3DXVECTOR3{1, 0, 0}));
    EXPECT_EQ(ball->targetHeading, (D3DXVECTOR3{1, 0, 0}));
    EXPECT_EQ(ball->side, (D3DXVECTOR3{0, 0, 1}));  // (1,0,0) x (0,1,0)
    ball->AssignVar("up", "-y");
    EXPECT_EQ(ball->heading, (D3DXVECTOR3{1, 0, 0}));

    Place(1, 1, 1);
    ball->up = {0, 0, 1};
    ball->phase = 33;
    ball->lostCount = 2;
    ball->renderMode = 2;
    ball->jumpRequest = true;
    ball->position = {6, 6, 6};
    ball->ResetBall();
    EXPECT_EQ(ball->position, (D3DXVECTOR3{1.5f, 1.5f, 1.5f}));
    EXPECT_EQ(ball->up, (D3DXVECTOR3{0, -1, 0}));
    EXPECT_EQ(ball->phase, 1);
    EXPECT_EQ(ball->phaseTime, 0);
    EXPECT_EQ(ball->lostCount, 0);
    EXPECT_EQ(ball->renderMode, 1);
    EXPECT_FALSE(ball->jumpRequest);
}

// Departs from the original: a ball without "up" resets to (0, 0, 1).
TEST_F(BallTest, ABallThatNeverReadAnUpResetsToTheBuiltInUp) {
    ball->up = {1, 0, 0};
    ball->ResetBall();
    EXPECT_EQ(ball->up, (D3DXVECTOR3{0, 0, 1}));
    EXPECT_EQ(ball->viewUp, (D3DXVECTOR3{0, 0, 1}));
}

TEST_F(BallTest, TheLostFlickerDrawsRandomLooksFromTheEngineGenerator) {
    Place(2, 2, 2);
    ball->phase = 26;
    ball->phaseTime = 500;
    std::set<int32_t> seen;
    rec->engine.rng.seed(7);
    std::vector<int32_t> first;
    for (int i = 0; i < 60; ++i) {
        D3DXVECTOR3 d, s;
        ball->ComputeDisplay(d, s);
        seen.insert(ball->renderMode);
        first.push_back(ball->renderMode);
        EXPECT_NEAR(d.z, 3.75f, 1e-5);
    }
    EXPECT_EQ(seen, (std::set<int32_t>{2, 4, 5}));
    rec->engine.rng.seed(7);
    for (int i = 0; i < 60; ++i) {
        D3DXVECTOR3 d, s;
        ball->ComputeDisplay(d, s);
        EXPECT_EQ(ball->renderMode, first[static_cast<size_t>(i)]);
    }
    // Its expiry settles on the lost look.
    Run(500);
    EXPECT_EQ(ball->phase, 25);
    EXPECT_EQ(ball->renderMode, 2);
    EXPECT_EQ(ball->lostCount, 1);
    EXPECT_EQ(ball->bounce, 1);
    EXPECT_EQ(level->EndReason(), 2);
}

} // namespace
} // namespace rdv::test
