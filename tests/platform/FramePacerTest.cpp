// The real game's loop pacing, on a fake clock: how long each tick sleeps
// for fast ticks, for ticks that waited for the refresh themselves and for
// slow ones.
#include <gtest/gtest.h>

#include <vector>

#include "platform/SDLHost.h"

namespace rdv {
namespace {

class FramePacerTest : public ::testing::Test {
protected:
    // A tick of `workUs`, then the pacing after it.
    void Tick(uint64_t workUs) {
        now += workUs;
        pacer.Pace();
    }
    uint64_t now = 1000000;
    std::vector<uint64_t> sleeps;
    FramePacer pacer{[this] { return now; },
                     [this](uint64_t us) {
                         sleeps.push_back(us);
                         now += us + oversleep;
                     }};
    uint64_t oversleep = 0;
};

TEST_F(FramePacerTest, FastTicksSleepOutTheRestOfTheRefreshPeriod) {
    EXPECT_EQ(pacer.PeriodUs(), 16666u) << "60 Hz when nothing is known";
    Tick(0);  // the first tick only starts the count
    EXPECT_TRUE(sleeps.empty());
    const uint64_t start = now;
    for (int i = 0; i < 60; ++i) Tick(2000);
    ASSERT_EQ(sleeps.size(), 60u);
    for (uint64_t s : sleeps) EXPECT_EQ(s, 16666u - 2000u);
    EXPECT_EQ(now - start, 60u * 16666u) << "sixty ticks a second";
}

TEST_F(FramePacerTest, OversleepingIsMadeUpSoTheRateStaysAtTheRefreshRate) {
    oversleep = 400;
    Tick(0);
    const uint64_t start = now;
    for (int i = 0; i < 100; ++i) Tick(1000);
    // Each tick ends no later than its due time plus one oversleep.
    EXPECT_LE(now - start, 100u * 16666u + 400u);
    EXPECT_GE(now - start, 100u * 16666u);
}

TEST_F(FramePacerTest, TicksThatWaitedForTheRefreshOrRanLongDoNotSleep) {
    pacer.SetRefreshRate(75);
    EXPECT_EQ(pacer.PeriodUs(), 13333u);
    Tick(0);
    // Presenting waited for the refresh: a little under or over the period.
    Tick(13333 - 300);
    Tick(13333 + 200);
    EXPECT_TRUE(sleeps.empty());
    // A slow tick, then a fast one: the fast one is not cut short to catch up.
    Tick(40000);
    EXPECT_TRUE(sleeps.empty());
    Tick(3333);
    ASSERT_EQ(sleeps.size(), 1u);
    EXPECT_EQ(sleeps[0], 10000u);
}

TEST(FramePacer, UnknownOrUnbelievableRatesMeanSixtyHertz) {
    EXPECT_EQ(FramePacer::RefreshPeriodUs(0), 16666u);
    EXPECT_EQ(FramePacer::RefreshPeriodUs(-5), 16666u);
    EXPECT_EQ(FramePacer::RefreshPeriodUs(100000), 16666u);
    EXPECT_EQ(FramePacer::RefreshPeriodUs(144), 6944u);
    EXPECT_EQ(FramePacer::RefreshPeriodUs(50), 20000u);
}

} // namespace
} // namespace rdv
