#include "game/Campaign.h"

#include "GameTestSupport.h"

namespace rdv::test {
namespace {

class CampaignTest : public GameTest {
protected:
    engCampaign Make() {
        engCampaign c(engine);
        c.loadLevel = [this](const std::string& name) { loaded.push_back(name); };
        c.endLevel = [this](int32_t status) { ended.push_back(status); };
        return c;
    }
    std::vector<std::string> loaded;
    std::vector<int32_t> ended;
};

TEST_F(CampaignTest, LoadNextSavesOnlyUpToMaxLevel) {
    Write("data/five.dat", "N=5\nMaxLevel=4\n1=l1\n2=l2\n3=l3\n4=l4\n5=l5\n");
    engCampaign c = Make();
    c.LoadCampaign("five");
    c.Bootcampaign(3);
    EXPECT_EQ(c.mode, engCampaign::Booted);
    EXPECT_EQ(ended, std::vector<int32_t>{3});
    c.LoadNext(3);
    EXPECT_EQ(c.mode, engCampaign::Playing);
    c.LoadNext(1);   // 3 -> 4: saved
    EXPECT_EQ(c.LoadProgress(), 4);
    c.LoadNext(1);   // 4 -> 5: above MaxLevel, not saved
    EXPECT_EQ(c.LoadProgress(), 4);
    c.LoadNext(1);   // 5 stays 5
    EXPECT_EQ(c.current, 5);
    EXPECT_EQ(c.LoadProgress(), 4);
    EXPECT_EQ(loaded, (std::vector<std::string>{"l3", "l4", "l5", "l5"}));
}

TEST_F(CampaignTest, FailedLevelReloadsWithoutTouchingProgress) {
    Write("data/two.dat", "N=2\n1=a\n2=b\n");
    engCampaign c = Make();
    c.LoadCampaign("two");
    c.Bootcampaign(1);
    c.LoadNext(3);
    c.LoadNext(2);
    EXPECT_EQ(loaded, (std::vector<std::string>{"a", "a"}));
    EXPECT_FALSE(std::filesystem::exists(folder / "data/progress.dat"));
}

TEST_F(CampaignTest, SeparateRecordsWithRightAlignedKeysAndContinue) {
    Write("data/alpha.dat", "N=3\n1=a1\n2=a2\n3=a3\n");
    Write("data/twelvechars1.dat", "N=3\n1=b1\n2=b2\n3=b3\n");
    engCampaign a = Make(), b = Make();
    a.LoadCampaign("alpha");
    b.LoadCampaign("twelvechars1");
    a.SaveProgress(2);
    b.SaveProgress(3);
    a.SaveProgress(3);
    const std::string bytes = ReadBytes("data/progress.dat");
    ASSERT_EQ(bytes.size(), 32u);
    EXPECT_EQ(bytes.substr(0, 12), "       alpha");
    EXPECT_EQ(bytes.substr(12, 4), std::string("\x03\0\0\0", 4));
    EXPECT_EQ(bytes.substr(16, 12), "twelvechars1");
    EXPECT_EQ(bytes.substr(28, 4), std::string("\x03\0\0\0", 4));
    EXPECT_FALSE(std::filesystem::exists(folder / "data/progress.dat.tmp"));

    a.Bootcampaign(0);
    EXPECT_EQ(a.current, 3);
}

// Departs from the original: Continue without progress starts at level 1, not the empty entry 0.
TEST_F(CampaignTest, ContinueWithoutProgressStartsAtTheFirstLevel) {
    Write("data/fresh.dat", "N=2\n1=f1\n2=f2\n");
    engCampaign c = Make();
    c.LoadCampaign("fresh");
    c.Bootcampaign(0);
    EXPECT_EQ(c.current, 1);
    c.LoadNext(3);
    EXPECT_EQ(loaded, std::vector<std::string>{"f1"});
    // Looking for the progress leaves an empty progress.dat behind.
    ASSERT_TRUE(std::filesystem::exists(folder / "data/progress.dat"));
    EXPECT_EQ(std::filesystem::file_size(folder / "data/progress.dat"), 0u);
    EXPECT_EQ(c.LoadProgress(), 0);
    c.SaveProgress(2);
    EXPECT_EQ(c.LoadProgress(), 2);
}

// Departs from the original: a cut-off last progress record counts as none.
TEST_F(CampaignTest, PartialLastRecordIsIgnoredAndReplaced) {
    Write("data/gamma.dat", "N=2\n1=g1\n2=g2\n");
    Write("data/progress.dat", std::string("       gamma\x02\0\0\0", 16) + std::string("  cut", 5));
    engCampaign c = Make();
    c.LoadCampaign("gamma");
    EXPECT_EQ(c.LoadProgress(), 2);
    Write("data/delta.dat", "N=1\n1=d\n");
    engCampaign d = Make();
    d.LoadCampaign("delta");
    EXPECT_EQ(d.LoadProgress(), 0);
    d.SaveProgress(1);
    const std::string bytes = ReadBytes("data/progress.dat");
    ASSERT_EQ(bytes.size(), 32u);
    EXPECT_EQ(bytes.substr(16, 12), "       delta");
}

// Departs from the original: a level ending in the editor puts its balls back.
TEST_F(CampaignTest, MenuBackgroundAndEditorResetBallsAndKeepTheLevel) {
    engCampaign c = Make();
    int resets = 0;
    c.resetBalls = [&] { ++resets; };
    c.LoadNext(1);
    EXPECT_EQ(resets, 1);
    c.BootEditor();
    c.LoadNext(1);
    c.LoadNext(2);
    EXPECT_EQ(resets, 3);
    EXPECT_TRUE(loaded.empty());
}

TEST_F(CampaignTest, CampaignFileErrors) {
    const std::string source = "Engine->Game->LoadCampaign";
    engCampaign c = Make();
    auto e = Expect([&] { c.LoadCampaign("missing"); });
    EXPECT_EQ(e.number, 1002);
    EXPECT_EQ(e.source, source);
    EXPECT_EQ(e.description, "Couldn't open package: missing");

    Write("data/wrong.txt", "N=1\n");
    e = Expect([&] { c.LoadCampaign("wrong"); });
    EXPECT_EQ(e.number, 1004);
    EXPECT_EQ(e.description, "Invalid type: wrong");

    Write("data/bad.dat", "N=1\nlevel\n");
    e = Expect([&] { c.LoadCampaign("bad"); });
    EXPECT_EQ(e.number, 1005);
    EXPECT_EQ(e.description, "Invalid line in bad");
    Write("data/bad.dat", "N=1\nspeed=3\n");
    e = Expect([&] { c.LoadCampaign("bad"); });
    EXPECT_EQ(e.description, "Invalid line in bad");

    Write("data/thirteenchar.dat", "N=1\n1=x\n");
    e = Expect([&] { c.LoadCampaign("thirteenchar1"); });
    EXPECT_EQ(e.number, 1005);
    EXPECT_EQ(e.source, source);
    EXPECT_EQ(e.description, "Campaign name too long: thirteenchar1");
    EXPECT_EQ(Packages(engine).OpenCount(), 0u);

    // A count no campaign could fill is refused, not allocated.
    Write("data/huge.dat", "N=2000000000\n1=x\n");
    e = Expect([&] { c.LoadCampaign("huge"); });
    EXPECT_EQ(e.number, 1005);
    EXPECT_EQ(e.description, "Invalid line in huge");
    EXPECT_EQ(c.count, 0);
    EXPECT_EQ(Packages(engine).OpenCount(), 0u);
}

} // namespace
} // namespace rdv::test
