// Saving progress never damages progress.dat: the disk fills up at every
// byte of the new file, both when a record changes in place and when a new
// campaign's record is added, and each time every campaign's old record is
// still there, nothing is left beside the file and the failure is logged.
#include "core/FileSizeLimit.h"
#include "game/Campaign.h"

#include "GameTestSupport.h"

namespace rdv::test {
namespace {

class ProgressCrashSafeTest : public GameTest {
protected:
    size_t FilesInData() {
        size_t n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder / "data")) ++n;
        return n;
    }
    bool Warned() {
        for (const auto& l : logLines)
            if (l.message == "WARNING: could not write progress.dat") return true;
        return false;
    }
    // Saves `level` for `campaign` under every file-size limit from 0 up;
    // returns the first limit under which the save went through.
    size_t SaveUnderEveryLimit(const std::string& campaign, int32_t level, const std::string& old) {
        engCampaign c(engine);
        c.LoadCampaign(campaign);
        const size_t files = FilesInData();
        size_t cut = 0;
        for (; cut < 4 * engCampaign::kRecordLength; ++cut) {
            logLines.clear();
            {
                FileSizeLimit limit(cut);
                EXPECT_TRUE(limit.ok());
                c.SaveProgress(level);
            }
            if (ReadBytes("data/progress.dat") != old) break;
            EXPECT_TRUE(Warned()) << "a save cut at byte " << cut << " was not reported";
            EXPECT_EQ(FilesInData(), files) << "cut at byte " << cut;
        }
        return cut;
    }
};

// Departs from the original: progress.dat is written through a temporary file, and a failed write is only a warning.
TEST_F(ProgressCrashSafeTest, OldRecordsSurviveAFullDiskAtEveryByte) {
    Write("data/alpha.dat", "N=5\n1=a\n2=b\n3=c\n4=d\n5=e\n");
    Write("data/beta.dat", "N=5\n1=a\n2=b\n3=c\n4=d\n5=e\n");
    const std::string old = std::string("       alpha\x02\0\0\0", 16) + std::string("        beta\x04\0\0\0", 16);
    Write("data/progress.dat", old);

    // A record changed in place: the whole new file is 32 bytes.
    EXPECT_EQ(SaveUnderEveryLimit("alpha", 3, old), 32u);
    std::string now = ReadBytes("data/progress.dat");
    EXPECT_EQ(now, std::string("       alpha\x03\0\0\0", 16) + old.substr(16));
    EXPECT_FALSE(Warned());

    // A first save of another campaign adds a record: 48 bytes.
    Write("data/gamma.dat", "N=2\n1=a\n2=b\n");
    EXPECT_EQ(SaveUnderEveryLimit("gamma", 1, now), 48u);
    const std::string grown = ReadBytes("data/progress.dat");
    EXPECT_EQ(grown.substr(0, 32), now);
    EXPECT_EQ(grown.substr(32), std::string("       gamma\x01\0\0\0", 16));
    EXPECT_EQ(FilesInData(), 4u);

    engCampaign beta(engine);
    beta.LoadCampaign("beta");
    EXPECT_EQ(beta.LoadProgress(), 4);
}

} // namespace
} // namespace rdv::test
