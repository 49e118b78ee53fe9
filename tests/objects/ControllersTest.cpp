#include <gtest/gtest.h>

#include "core/Engine.h"
#include "core/Error.h"
#include "objects/Controllers.h"

namespace rdv {
namespace {

// What the ball sees at one decision: the move, then the turn.
struct Decision {
    float move, rot;
    bool operator==(const Decision&) const = default;
};

Decision Decide(objCutsceneController& c) {
    int32_t e = 10;
    c.Tick(e);
    const float rot = c.kRot();
    return {c.kMove(), rot};
}

TEST(CutsceneController, SegmentsFollowOneDecisionEachAndTheScriptStartsOver) {
    objCutsceneController c;
    c.AssignVar("command", "f.f.<.");
    std::vector<Decision> got;
    for (int i = 0; i < 5; ++i) got.push_back(Decide(c));
    const std::vector<Decision> want = {{1, 0}, {1, 0}, {0, -1}, {1, 0}, {1, 0}};
    EXPECT_EQ(got, want);

    // Repeated reads before the next tick advance nothing further.
    c.AssignVar("command", "f.b.");
    int32_t e = 1;
    c.Tick(e);
    EXPECT_EQ(c.kMove(), 1);
    EXPECT_EQ(c.kMove(), 1);
    c.Tick(e);
    EXPECT_EQ(c.kMove(), -1);
    // Without a decision the segment stays.
    c.Tick(e);
    c.Tick(e);
    EXPECT_EQ(c.Segment(), "f.");
}

TEST(CutsceneController, MixedSegmentsJumpsBreaksAndOneTurnPerSegment) {
    objCutsceneController c;
    c.AssignVar("command", "fb");
    int32_t e = 1;
    for (int i = 0; i < 3; ++i) {
        c.Tick(e);
        EXPECT_EQ(c.Segment(), "fb");
        EXPECT_EQ(c.kMove(), 0);
    }

    c.AssignVar("command", "+>.-f.");
    c.Tick(e);
    EXPECT_TRUE(c.kJump());
    EXPECT_TRUE(c.kJump());  // held for as long as the segment lasts
    EXPECT_FALSE(c.kBreak());
    EXPECT_EQ(c.kRot(), 1);
    EXPECT_EQ(c.kRot(), 0);
    EXPECT_EQ(c.kMove(), 0);
    c.Tick(e);
    EXPECT_FALSE(c.kJump());
    EXPECT_TRUE(c.kBreak());
    EXPECT_EQ(c.kMove(), 1);
    // The new decision lets the (looped) first segment turn again.
    c.Tick(e);
    EXPECT_EQ(c.kRot(), 1);

    c.AssignVar("command", "");
    c.Tick(e);
    EXPECT_EQ(c.kMove(), 0);
    EXPECT_EQ(c.kRot(), 0);
    EXPECT_FALSE(c.kJump());

    try {
        c.AssignVar("script", "f.");
        FAIL();
    } catch (const EngineError& err) {
        EXPECT_EQ(err.number, 1005);
        EXPECT_EQ(err.source, "Engine->LoadLevel->ReadLevelFile->AssignProperty->objCutsceneController.AssignVar");
        EXPECT_EQ(err.description, "Invalid property for 'CutsceneController': script");
    }
    EXPECT_EQ(c.GetFullClassName(), "System.CutsceneController");
}

TEST(Keyhandler, PlayerIdOutOfRangeRaises380AndKeepsThePlayer) {
    Engine engine;
    objKeyhandler k(engine);
    k.AssignVar("player", "2");
    EXPECT_EQ(k.PlayerID(), 1);
    for (int32_t bad : {3, 0, -1}) {
        try {
            k.SetPlayerID(bad);
            ADD_FAILURE() << bad;
        } catch (const EngineError& err) {
            EXPECT_EQ(err.number, 380);
            EXPECT_EQ(err.source, "objKeyhandler->playerID(Set)");
            EXPECT_EQ(err.description, "given player ID out of range");
        }
    }
    EXPECT_EQ(k.PlayerID(), 1);
    try {
        k.AssignVar("keys", "1");
        FAIL();
    } catch (const EngineError& err) {
        EXPECT_EQ(err.number, 1005);
        EXPECT_EQ(err.description, "Invalid property for 'Keyhandler': keys");
        EXPECT_EQ(err.source, "Engine->LoadLevel->ReadLevelFile->AssignProperty->objKeyhandler.AssignVar");
    }
    // No input started: nothing is held.
    int32_t e = 5;
    k.Tick(e);
    EXPECT_EQ(k.kMove(), 0);
    EXPECT_EQ(k.kRot(), 0);
    EXPECT_FALSE(k.kJump());
    EXPECT_FALSE(k.kBreak());
    EXPECT_EQ(k.GetFullClassName(), "System.Keyhandler");
}

} // namespace
} // namespace rdv
