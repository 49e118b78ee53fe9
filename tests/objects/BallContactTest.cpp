#include "objects/BallTestSupport.h"

namespace rdv::test {
namespace {

using V = D3DXVECTOR3;

// Starts the contact with the face ahead: phase 37 about to run out.
void AtWall(objBall& ball, const V& dir) {
    ball.moveDir = dir;
    ball.phase = 37;
    ball.phaseTime = 1;
}

TEST_F(BallTest, LandingKeepsBounceUnderTheFloorsLimit) {
    for (int code : {3, 2}) {
        Place(2, 2, 5);
        ball->bounce = 0;
        Tile(2, 2, 2, 0, 0, -1, code);
        EXPECT_EQ(RunUntilPhase(3), 3 * 600);
        EXPECT_TRUE(AtCell(2, 2, 2));
        // Three cells of fall: grass allows none of it, metal all three.
        EXPECT_EQ(ball->bounce, code == 3 ? 0 : 3) << code;
    }
}

TEST_F(BallTest, FallingBelowTheWorldLosesTheBallOnceItsGridZIsNegative) {
    Place(2, 2, 0);
    Run(1);
    EXPECT_EQ(ball->phase, 10);
    EXPECT_EQ(level->EndReason(), 0);
    Run(600);
    EXPECT_TRUE(AtCell(2, 2, -1));
    EXPECT_EQ(level->EndReason(), 2);
    EXPECT_EQ(ball->lostCount, 0);
    EXPECT_EQ(ball->phase, 10);
}

TEST_F(BallTest, FallingUpwardsIsLostOnlyAboveOneSpareCell) {
    ball->up = ball->viewUp = {0, 0, -1};
    Place(2, 2, 6);
    Run(1);
    Run(600);  // at 7 = size + 1: still in the world
    EXPECT_TRUE(AtCell(2, 2, 7));
    EXPECT_EQ(level->EndReason(), 0);
    Run(600);
    EXPECT_TRUE(AtCell(2, 2, 8));
    EXPECT_EQ(level->EndReason(), 2);
}

TEST_F(BallTest, BreakableFacesGoAtTheFirstContact) {
    Place(2, 2, 2);
    Tile(2, 2, 2, 0, 0, -1, 23);
    Run(1);
    EXPECT_EQ(ball->phase, 3);
    EXPECT_EQ(level->GetMapObject(2, 2, 2, 0, 0, -1), 0);
    EXPECT_EQ(RunUntilPhase(10), 1299);  // 3, 2, 1, then nothing below

    Place(2, 2, 2);
    Tile(2, 2, 2, 0, 0, -1, 1);
    Tile(2, 2, 2, 0, 1, 0, 23);
    AtWall(*ball, {0, 1, 0});
    ball->jumpRequest = true;
    Run(1);
    EXPECT_EQ(ball->phase, 7);
    EXPECT_EQ(ball->phaseTime, 190);
    EXPECT_FALSE(ball->jumpRequest);
    EXPECT_EQ(level->GetMapObject(2, 2, 2, 0, 1, 0), 0);

    Tile(2, 2, 2, 0, 0, 1, 23);
    ball->PreHitCeiling();
    EXPECT_EQ(ball->phase, 11);
    EXPECT_EQ(level->GetMapObject(2, 2, 2, 0, 0, 1), 0);
}

TEST_F(BallTest, IceSlidesOnWithNoKeyAndAKeyBackReversesOnTheSpot) {
    Place(2, 1, 2);
    for (int y = 1; y <= 3; ++y) Tile(2, y, 2, 0, 0, -1, 8);
    ball->moveDir = {0, 1, 0};
    Run(1);
    EXPECT_EQ(ball->phase, 3);
    EXPECT_TRUE(ball->sliding);
    // 3 (499) -> 37 (210) -> 36 (190) -> step -> 5 (400) -> landed again.
    EXPECT_EQ(RunUntilPhase(37), 499);
    EXPECT_FALSE(ball->sliding);
    EXPECT_EQ(RunUntilPhase(5), 400);
    EXPECT_TRUE(AtCell(2, 2, 2));
    EXPECT_EQ(RunUntilPhase(3), 400);
    EXPECT_TRUE(ball->sliding);

    hand.move = -1;
    Run(500);
    EXPECT_EQ(ball->phase, 2);
    EXPECT_EQ(ball->moveDir, (V{0, -1, 0}));
    EXPECT_FALSE(ball->sliding);
    EXPECT_TRUE(AtCell(2, 2, 2));

    // Slippery ice takes the ball on at once, bounce gone.
    Tile(2, 2, 2, 0, 0, -1, 9);
    ball->bounce = 2;
    ball->HitFloor();
    EXPECT_EQ(ball->phase, 18);
    EXPECT_EQ(ball->phaseTime, 500);
    EXPECT_EQ(ball->bounce, 0);
}

TEST_F(BallTest, SnowHoldsTheBallUntilAKeyMovesIt) {
    Place(2, 2, 2);
    Tile(2, 2, 2, 0, 0, -1, 10);
    Run(1);
    EXPECT_EQ(ball->phase, 19);
    EXPECT_EQ(RunUntilPhase(20), 499);
    EXPECT_EQ(RunUntilPhase(19), 500);
    hand.move = 1;
    EXPECT_EQ(RunUntilPhase(37), 500);
    EXPECT_EQ(ball->moveDir, (V{0, 1, 0}));
    // A lost ball lands on snow like on any floor.
    ball->lostCount = 1;
    ball->HitFloor();
    EXPECT_EQ(ball->phase, 27);
}

TEST_F(BallTest, FansBlowTheBallUpBackAndAway) {
    Place(2, 2, 2);
    Tile(2, 2, 2, 0, 0, -1, 24);
    ball->HitFloor();
    EXPECT_EQ(ball->phase, 38);
    EXPECT_EQ(RunUntilPhase(2), 500);

    Tile(2, 2, 2, 0, 0, 1, 25);
    ball->PreHitCeiling();
    EXPECT_EQ(ball->phase, 2);
    EXPECT_EQ(ball->phaseTime, 400);

    Tile(2, 2, 2, 0, 0, -1, 1);
    Special(2, 2, 2, 0, 1, 0, 11);
    AtWall(*ball, {0, 1, 0});
    Run(1);
    EXPECT_EQ(ball->phase, 39);
    EXPECT_EQ(RunUntilPhase(8), 190);
    // Phase 8 turns the move round before looking at the floor.
    EXPECT_EQ(RunUntilPhase(3), 400);
    EXPECT_EQ(ball->moveDir, (V{0, -1, 0}));
    EXPECT_TRUE(AtCell(2, 2, 2));
}

TEST_F(BallTest, SpikesOnFloorsWallsAndCeilingsLoseTheBall) {
    Place(2, 2, 2);
    Tile(2, 2, 2, 0, 0, -1, 13);
    Run(1);
    EXPECT_EQ(ball->phase, 33);
    EXPECT_EQ(ball->lostCount, 1);
    EXPECT_EQ(ball->renderMode, 2);
    EXPECT_EQ(level->EndReason(), 2);
    EXPECT_EQ(RunUntilPhase(34), 499);
    Run(5000);
    EXPECT_EQ(ball->phase, 34);

    ball->ResetBall();
    Tile(2, 2, 2, 0, 1, 0, 12);
    AtWall(*ball, {0, 1, 0});
    Run(1);
    EXPECT_EQ(ball->phase, 31);
    EXPECT_EQ(ball->phaseTime, 2000);
    EXPECT_EQ(ball->lostCount, 1);
    EXPECT_EQ(ball->renderMode, 2);
    EXPECT_EQ(RunUntilPhase(32), 2000);

    ball->ResetBall();
    Tile(2, 2, 2, 0, 0, 1, 12);
    ball->PreHitCeiling();
    EXPECT_EQ(ball->phase, 35);
    EXPECT_EQ(ball->lostCount, 0);
    Run(320);
    EXPECT_EQ(ball->phase, 12);
    EXPECT_EQ(ball->lostCount, 1);
    EXPECT_EQ(ball->renderMode, 2);
}

TEST_F(BallTest, LasersBurnTheBallBelowAndAbove) {
    Place(2, 2, 3);
    Tile(2, 2, 3, 0, 0, -1, 11);
    Tile(2, 2, 2, 0, 0, -1, 1);
    Run(1);
    EXPECT_EQ(ball->phase, 22);
    EXPECT_EQ(ball->phaseTime, 139);
    Run(139);
    EXPECT_EQ(ball->phase, 26);
    EXPECT_TRUE(AtCell(2, 2, 2));
    Run(500);
    EXPECT_EQ(ball->phase, 25);
    EXPECT_EQ(ball->lostCount, 1);
    // The lost ball lands, bounces once and rests.
    Run(460);
    EXPECT_EQ(ball->phase, 27);
    EXPECT_EQ(RunUntilPhase(28), 500);
    EXPECT_EQ(RunUntilPhase(27), 500);
    EXPECT_EQ(RunUntilPhase(29), 500);
    EXPECT_EQ(RunUntilPhase(0), 5000);

    ball->ResetBall();
    Place(2, 2, 2);
    Tile(2, 2, 2, 0, 0, 1, 11);
    ball->bounce = 1;
    ball->PreHitCeiling();
    EXPECT_EQ(ball->phase, 24);
    EXPECT_EQ(ball->bounce, 0);
    Run(460);
    EXPECT_EQ(ball->phase, 26);
}

TEST_F(BallTest, WaterFlipsGravityAndHalvesTheBounce) {
    Place(2, 2, 3);
    Tile(2, 2, 3, 0, 0, -1, 26);
    const std::pair<int, int> cases[] = {{3, 2}, {5, 2}, {2, 1}};  // halves, ties to even
    for (auto [before, after] : cases) {
        ball->up = {0, 0, 1};
        ball->bounce = before;
        ball->HitFloor();
        EXPECT_EQ(ball->phase, 41);
        EXPECT_EQ(ball->phaseTime, 300);
        EXPECT_EQ(ball->bounce, after) << before;
        EXPECT_EQ(ball->up, (V{0, 0, -1}));
    }
    ball->up = {0, 0, 1};
    ball->bounce = 1;
    ball->HitFloor();
    EXPECT_EQ(ball->phase, 42);
    EXPECT_EQ(ball->bounce, 0);
    EXPECT_EQ(ball->viewUp, (V{0, 0, 1}));
    EXPECT_EQ(ball->upAbs, (V{0, 0, 1}));
    // The rise under the new gravity takes the ball through the water.
    Run(300);
    EXPECT_TRUE(AtCell(2, 2, 2));
    EXPECT_EQ(ball->phase, 2);
}

TEST_F(BallTest, AGravityRotatorCarriesTheBallOverTheEdge) {
    Place(2, 2, 2);
    Tile(2, 2, 2, 0, 0, -1, 1);
    Tile(2, 2, 2, 0, 1, 0, 7);
    Tile(2, 3, 1, 0, -1, 0, 1);  // the far side of the edge
    ball->phase = 3;
    ball->phaseTime = 1;
    hand.move = 1;
    Run(1);
    hand.move = 0;
    EXPECT_EQ(ball->phase, 17);
    EXPECT_EQ(ball->up, (V{0, 1, 0}));
    EXPECT_EQ(ball->viewUp, (V{0, 1, 0}));
    EXPECT_EQ(ball->upAbs, (V{0, 1, 0}));
    EXPECT_EQ(ball->moveDir, (V{0, 0, -1}));
    EXPECT_EQ(ball->targetHeading, (V{0, 0, -1}));
    EXPECT_EQ(ball->turnTime, 350);
    EXPECT_EQ(RunUntilPhase(16), 400);
    EXPECT_TRUE(AtCell(2, 3, 2));
    EXPECT_EQ(ball->heading, (V{0, 0, -1}));
    EXPECT_EQ(RunUntilPhase(5), 600);
    EXPECT_TRUE(AtCell(2, 3, 1));
    EXPECT_EQ(RunUntilPhase(3), 400);
    EXPECT_TRUE(AtCell(2, 3, 1));
}

TEST_F(BallTest, ClimbingOntoAGravityPadMakesTheWallTheFloor) {
    Place(2, 2, 2);
    Tile(2, 2, 2, 0, 0, -1, 1);
    Special(2, 2, 2, 0, 1, 0, 2);
    ball->phase = 3;
    ball->phaseTime = 1;
    hand.move = 1;
    Run(1);
    hand.move = 0;
    EXPECT_EQ(ball->phase, 15);
    EXPECT_EQ(ball->up, (V{0, -1, 0}));
    EXPECT_EQ(ball->viewUp, (V{0, 1, 0}));
    EXPECT_EQ(ball->upAbs, (V{0, 1, 0}));
    EXPECT_EQ(ball->moveDir, (V{0, 0, 1}));
    EXPECT_EQ(ball->targetHeading, (V{0, 0, 1}));
    EXPECT_EQ(ball->side, (V{0, 1, 0}));
    EXPECT_EQ(RunUntilPhase(3), 400);
    EXPECT_TRUE(AtCell(2, 2, 2));

    // Backwards onto a pad: the new heading points against the old up.
    ball->up = ball->viewUp = {0, 0, 1};
    ball->heading = {0, -1, 0};
    ball->phase = 3;
    ball->phaseTime = 1;
    hand.move = -1;
    Run(1);
    hand.move = 0;
    EXPECT_EQ(ball->phase, 15);
    EXPECT_EQ(ball->targetHeading, (V{0, 0, -1}));

    // A pad under a jump turns the ball onto the ceiling.
    ball->up = ball->viewUp = {0, 0, 1};
    ball->heading = {0, 1, 0};
    Special(2, 2, 2, 0, 0, 1, 2);
    ball->PreHitCeiling();
    EXPECT_EQ(ball->phase, 14);
    EXPECT_EQ(ball->up, (V{0, 0, -1}));
    EXPECT_TRUE(AtCell(2, 2, 1));
    EXPECT_EQ(RunUntilPhase(3), 320);  // falls back into the cell under the pad
    EXPECT_TRUE(AtCell(2, 2, 2));
}

TEST_F(BallTest, AnAngledPadPushesTheBallItsWay) {
    Place(2, 2, 2);
    Special(2, 2, 2, 0, 0, -1, 5).push = {1, 0, 0};
    Tile(3, 2, 2, 0, 0, -1, 1);
    ball->bounce = 2;
    Run(1);
    EXPECT_EQ(ball->phase, 18);
    EXPECT_EQ(ball->bounce, 0);
    EXPECT_EQ(ball->moveDir, (V{1, 0, 0}));
    EXPECT_EQ(RunUntilPhase(5), 499 + 210 + 190);
    EXPECT_TRUE(AtCell(3, 2, 2));
    EXPECT_EQ(RunUntilPhase(3), 400);
}

TEST_F(BallTest, WallsBounceTheBallBackAndOpenFacesLetItThrough) {
    Place(2, 2, 2);
    Tile(2, 2, 2, 0, 0, -1, 1);
    Tile(2, 2, 2, 1, 0, 0, 1);
    AtWall(*ball, {1, 0, 0});
    Run(1);
    EXPECT_EQ(ball->phase, 7);
    EXPECT_EQ(RunUntilPhase(3), 190 + 400);
    EXPECT_TRUE(AtCell(2, 2, 2));

    // An open face ahead clears a pending jump and lets the ball pass.
    ball->phase = 3;
    ball->phaseTime = 1;
    ball->heading = {-1, 0, 0};
    hand.move = 1;
    Run(1);
    hand.move = 0;
    EXPECT_EQ(ball->phase, 37);
    EXPECT_EQ(RunUntilPhase(36), 210);
    EXPECT_EQ(RunUntilPhase(5), 190);
    EXPECT_TRUE(AtCell(1, 2, 2));
}

} // namespace
} // namespace rdv::test
