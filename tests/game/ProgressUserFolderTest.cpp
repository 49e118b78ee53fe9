// progress.dat under a read-only program folder: the records already there
// are read, and the file with every record is written to the player's
// folder, leaving the program folder's alone.
#include <sys/stat.h>

#include "game/Campaign.h"
#include "GameTestSupport.h"

namespace rdv::test {
namespace {

TEST_F(GameTest, ProgressIsReadFromTheProgramFolderAndWrittenToThePlayersFolder) {
    Write("data/alpha.dat", "N=3\n1=a1\n2=a2\n3=a3\n");
    Write("data/beta.dat", "N=3\n1=b1\n2=b2\n3=b3\n");
    {
        engCampaign a(engine);
        a.LoadCampaign("alpha");
        a.SaveProgress(2);
    }
    const std::string before = ReadBytes("data/progress.dat");
    ASSERT_EQ(before.size(), 16u);
    const std::filesystem::path user = folder / "home";
    engine.userFolder = user;
    ::chmod((folder / "data").c_str(), 0555);

    engCampaign a(engine), b(engine);
    a.LoadCampaign("alpha");
    b.LoadCampaign("beta");
    EXPECT_EQ(a.LoadProgress(), 2) << "the program folder's record";
    b.SaveProgress(3);
    ::chmod((folder / "data").c_str(), 0755);

    EXPECT_EQ(ReadBytes("data/progress.dat"), before);
    std::ifstream in(user / "data" / "progress.dat", std::ios::binary);
    const std::string own((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(own.size(), 32u) << "both campaigns' records";
    EXPECT_EQ(own.substr(0, 16), before);
    EXPECT_EQ(a.LoadProgress(), 2);
    EXPECT_EQ(b.LoadProgress(), 3);
    a.SaveProgress(3);
    EXPECT_EQ(a.LoadProgress(), 3) << "read back from the player's copy";
    EXPECT_EQ(ReadBytes("data/progress.dat"), before);
}

}  // namespace
}  // namespace rdv::test
