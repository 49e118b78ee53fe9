#include "objects/BallTestSupport.h"

namespace rdv::test {
namespace {

using V = D3DXVECTOR3;

constexpr float h = 1.570795f, p = 3.14159f, t = 4.712385f;

struct Row {
    V viewUp, heading, settled;
    bool tested;
    V sideTest, alternative;
};

// Every combination of an axis up and an axis heading across it.
const Row kRows[] = {
    {{0, 0, 1}, {1, 0, 0}, {0, 0, -h}, true, {0, 1, 0}, {0, 0, t}},
    {{0, 0, 1}, {0, 1, 0}, {0, 0, 0}, false, {}, {}},
    {{0, 0, 1}, {-1, 0, 0}, {0, 0, h}, false, {}, {}},
    {{0, 0, 1}, {0, -1, 0}, {0, 0, p}, true, {-1, 0, 0}, {0, 0, -p}},
    {{0, 0, -1}, {1, 0, 0}, {0, p, -h}, true, {0, -1, 0}, {0, p, t}},
    {{0, 0, -1}, {0, -1, 0}, {0, p, 0}, false, {}, {}},
    {{0, 0, -1}, {-1, 0, 0}, {0, p, h}, false, {}, {}},
    {{0, 0, -1}, {0, 1, 0}, {0, p, p}, true, {-1, 0, 0}, {0, p, -p}},
    {{1, 0, 0}, {0, 0, -1}, {h, 0, -h}, true, {0, 1, 0}, {h, 0, t}},
    {{1, 0, 0}, {0, 1, 0}, {h, 0, 0}, false, {}, {}},
    {{1, 0, 0}, {0, 0, 1}, {h, 0, h}, false, {}, {}},
    {{1, 0, 0}, {0, -1, 0}, {h, 0, p}, true, {0, 0, 1}, {h, 0, -p}},
    {{-1, 0, 0}, {0, 0, 1}, {-h, 0, -h}, true, {0, 1, 0}, {-h, 0, t}},
    {{-1, 0, 0}, {0, 1, 0}, {-h, 0, 0}, false, {}, {}},
    {{-1, 0, 0}, {0, 0, -1}, {-h, 0, h}, false, {}, {}},
    {{-1, 0, 0}, {0, -1, 0}, {-h, 0, p}, true, {0, 0, -1}, {-h, 0, -p}},
    {{0, 1, 0}, {1, 0, 0}, {-h, -h, 0}, true, {0, 0, -1}, {t, -h, 0}},
    {{0, 1, 0}, {0, 0, -1}, {0, -h, 0}, false, {}, {}},
    {{0, 1, 0}, {-1, 0, 0}, {h, -h, 0}, false, {}, {}},
    {{0, 1, 0}, {0, 0, 1}, {p, -h, 0}, true, {-1, 0, 0}, {-p, -h, 0}},
    {{0, -1, 0}, {-1, 0, 0}, {-h, h, 0}, true, {0, 0, 1}, {t, h, 0}},
    {{0, -1, 0}, {0, 0, 1}, {0, h, 0}, false, {}, {}},
    {{0, -1, 0}, {1, 0, 0}, {h, h, 0}, false, {}, {}},
    {{0, -1, 0}, {0, 0, -1}, {p, h, 0}, true, {1, 0, 0}, {-p, h, 0}},
};

void ExpectAngles(const V& got, const V& want, const std::string& what) {
    EXPECT_FLOAT_EQ(got.x, want.x) << what;
    EXPECT_FLOAT_EQ(got.y, want.y) << what;
    EXPECT_FLOAT_EQ(got.z, want.z) << what;
}

TEST_F(BallTest, OrientationTableRowByRow) {
    int n = 0;
    for (const Row& row : kRows) {
        const std::string what = "row " + std::to_string(++n);
        ball->viewUp = row.viewUp;
        ball->targetHeading = row.heading;
        // A side other than the test vector (the old heading of a turn from
        // the other side) takes the short way round.
        ball->side = row.tested ? -row.sideTest : row.heading;
        ball->turnTo = ball->settledAngles = {9, 9, 9};
        ball->ChooseOrientation();
        ExpectAngles(ball->settledAngles, row.settled, what);
        ExpectAngles(ball->turnTo, row.tested ? row.alternative : row.settled, what);
        if (row.tested) {
            ball->side = row.sideTest;
            ball->ChooseOrientation();
            ExpectAngles(ball->turnTo, row.settled, what + " side test");
        }
    }
    // A heading along the up axis matches no row: nothing changes.
    ball->viewUp = {0, 0, 1};
    ball->targetHeading = {0, 0, 1};
    ball->turnTo = ball->settledAngles = {9, 9, 9};
    ball->ChooseOrientation();
    EXPECT_EQ(ball->settledAngles, (V{9, 9, 9}));
    EXPECT_EQ(ball->turnTo, (V{9, 9, 9}));
    // Any up that is not one of the first five is read as -y.
    ball->viewUp = {0, 0, 0};
    ball->targetHeading = {1, 0, 0};
    ball->side = {0, 0, 0};
    ball->ChooseOrientation();
    ExpectAngles(ball->settledAngles, {h, h, 0}, "fallback");
}

TEST_F(BallTest, ANewBallFacesAlongYUnderZ) {
    EXPECT_EQ(ball->side, (V{1, 0, 0}));
    EXPECT_EQ(ball->angles, (V{0, 0, 0}));
    EXPECT_EQ(ball->phase, 1);
    EXPECT_EQ(ball->renderMode, 1);
    EXPECT_NE(ball->modelIndex, 0);
    EXPECT_EQ(rec->gfx().Model(ball->modelIndex)->name, "ball_y");
}

} // namespace
} // namespace rdv::test
