#include "game/Library.h"

#include "GameTestSupport.h"
#include "core/Subsystems.h"

namespace rdv::test {
namespace {

class CatalogueTest : public GameTest {
protected:
    void Languages() {
        Write("data/langfiles.dat", "N=2\nfoo=ignored\n1=English=en\n2=Deutsch=de=x\n");
        Write("data/en.dat", "1=Loading=now\n91=last\n*\n5=never\n");
    }
};

TEST_F(CatalogueTest, FirstRunLoadsLanguageOneAndValuesKeepTheirEquals) {
    Languages();
    Write("data/campaignlist.dat", "N=2\n1=alpha\ncaption=#3\nindex=7\n2=beta\n");
    engine.settings.language = 0;
    LoadLibrary(engine);
    EXPECT_EQ(engine.settings.language, 1);
    const engLibrary& lib = *engine.library;
    EXPECT_EQ(lib.languageNames[2], "Deutsch");
    EXPECT_EQ(lib.languageFiles[2], "de=x");
    ASSERT_EQ(engine.languageStrings.size(), 92u);
    EXPECT_EQ(engine.languageStrings[1], "Loading=now");
    EXPECT_EQ(engine.languageStrings[91], "last");
    EXPECT_EQ(engine.languageStrings[5], "") << "lines after * are never read";
    EXPECT_EQ(lib.campaignCount, 2);
    EXPECT_EQ(lib.campaignFiles[1], "alpha");
    EXPECT_EQ(lib.campaignCaptions[1], "#3");
    EXPECT_EQ(lib.campaignFrames[1], 7);
    EXPECT_EQ(lib.campaignFiles[2], "beta");
    bool firstRun = false;
    for (const auto& l : logLines) firstRun |= l.message == "First run? no language chosen yet";
    EXPECT_TRUE(firstRun);
}

TEST_F(CatalogueTest, OptionsBeforeTheFirstEntryBelongToEntryOne) {
    Write("data/campaignlist.dat", "N=1\ncaption=Early\nindex=2\n1=file\n");
    LoadCampaignCatalog(engine);
    EXPECT_EQ(engine.library->campaignCaptions[1], "Early");
    EXPECT_EQ(engine.library->campaignFrames[1], 2);
    EXPECT_EQ(engine.library->campaignFiles[1], "file");
}

TEST_F(CatalogueTest, EmptyFirstLineYieldsNoEntries) {
    Write("data/campaignlist.dat", "\nN=3\n1=x\n");
    LoadCampaignCatalog(engine);
    EXPECT_EQ(engine.library->campaignCount, 0);
}

TEST_F(CatalogueTest, CatalogueErrors) {
    const std::string lang = "Engine->LoadLibrary->LoadLanguageCatalog";
    const std::string camp = "Engine->LoadLibrary->LoadCampaignCatalog";
    auto e = Expect([&] { LoadLanguageCatalog(engine); });
    EXPECT_EQ(e.number, 1002);
    EXPECT_EQ(e.source, lang);
    EXPECT_EQ(e.description, "Couldn't open package: langfiles");

    Write("data/langfiles.txt", "N=1\n");
    e = Expect([&] { LoadLanguageCatalog(engine); });
    EXPECT_EQ(e.number, 1004);
    EXPECT_EQ(e.description, "langfiles is of invalid type");
    std::filesystem::remove(folder / "data/langfiles.txt");

    Write("data/langfiles.dat", "N=1\n1=NoFile\n");
    e = Expect([&] { LoadLanguageCatalog(engine); });
    EXPECT_EQ(e.number, 1005);
    EXPECT_EQ(e.description, "Invalid line in langfiles.dat");

    Write("data/langfiles.dat", "N=1\n1=English=en\n");
    Write("data/en.dat", "no equals here\n");
    LoadLanguageCatalog(engine);
    engine.settings.language = 1;
    e = Expect([&] { LoadLanguage(engine); });
    EXPECT_EQ(e.number, 1005);
    EXPECT_EQ(e.description, "Invalid line in langfiles.dat");
    Write("data/en.dat", "92=out of range\n");
    e = Expect([&] { LoadLanguage(engine); });
    EXPECT_EQ(e.number, 9);

    e = Expect([&] { LoadCampaignCatalog(engine); });
    EXPECT_EQ(e.number, 1002);
    EXPECT_EQ(e.source, camp);
    EXPECT_EQ(e.description, "Couldn't open package: campaignlist");

    Write("data/campaignlist.dat", "1=first\n");
    e = Expect([&] { LoadCampaignCatalog(engine); });
    EXPECT_EQ(e.number, 1005);
    EXPECT_EQ(e.description, "Invalid index: 1");

    Write("data/campaignlist.dat", "N=2\n3=third\n");
    e = Expect([&] { LoadCampaignCatalog(engine); });
    EXPECT_EQ(e.description, "Invalid index: 3");

    Write("data/campaignlist.dat", "N=2\n1.5=half\n");
    e = Expect([&] { LoadCampaignCatalog(engine); });
    EXPECT_EQ(e.description, "Invalid index: 1.5");

    Write("data/campaignlist.dat", "N=1\ncolour=red\n");
    e = Expect([&] { LoadCampaignCatalog(engine); });
    EXPECT_EQ(e.description, "Invalid option in campaignlist.dat: colour");

    Write("data/campaignlist.dat", "N=1\njunk\n");
    e = Expect([&] { LoadCampaignCatalog(engine); });
    EXPECT_EQ(e.description, "Invalid line in campaignlist.dat");
    EXPECT_EQ(Packages(engine).OpenCount(), 0u) << "a failed read closes its package";
}

// A count no menu could offer is a damaged file: it is refused before any
// table is sized by it, and the tables keep no entry of the bad file.
// Departs from the original: counts above 65535 raise 1005.
TEST_F(CatalogueTest, HugeCountsAreRefusedBeforeAllocating) {
    Write("data/langfiles.dat", "N=2000000000\n1=English=en\n");
    auto e = Expect([&] { LoadLanguageCatalog(engine); });
    EXPECT_EQ(e.number, 1005);
    EXPECT_EQ(e.description, "Invalid line in langfiles.dat");
    EXPECT_LE(Library(engine).languageNames.size(), 1u);

    Write("data/campaignlist.dat", "N=2147483647\n1=first\n");
    e = Expect([&] { LoadCampaignCatalog(engine); });
    EXPECT_EQ(e.number, 1005);
    EXPECT_EQ(e.source, "Engine->LoadLibrary->LoadCampaignCatalog");
    EXPECT_EQ(e.description, "Invalid line in campaignlist.dat");
    EXPECT_EQ(Library(engine).campaignCount, 0);
    EXPECT_EQ(Packages(engine).OpenCount(), 0u);

    // The largest count allowed still loads.
    Write("data/campaignlist.dat", "N=" + std::to_string(kMaxCatalogueEntries) + "\n1=first\n");
    LoadCampaignCatalog(engine);
    EXPECT_EQ(Library(engine).campaignCount, kMaxCatalogueEntries);
}

} // namespace
} // namespace rdv::test
