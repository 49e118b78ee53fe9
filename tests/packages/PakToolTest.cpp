#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "packages/PakFile.h"
#include "PackageTestUtil.h"

namespace rdv {
namespace {

using test::Bytes;

TEST(PakFile, BuildRefusesNamesThatCannotBeReadBack) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_FALSE(BuildPak({{"a", "dat", {}}, {"a", "tcs", {}}}, out, error));
    EXPECT_NE(error.find("duplicate"), std::string::npos);
    EXPECT_FALSE(BuildPak({{"", "dat", {}}}, out, error));
    EXPECT_FALSE(BuildPak({{"a\tb", "dat", {}}}, out, error));
    EXPECT_FALSE(BuildPak({{"a", "d\nt", {}}}, out, error));
    EXPECT_TRUE(BuildPak({}, out, error));
    std::vector<PakEntry> entries;
    EXPECT_TRUE(ReadPakDirectory(out, entries, error));
    EXPECT_TRUE(entries.empty());
}

TEST(PakFile, DirectoryReaderChecksEveryBound) {
    std::vector<uint8_t> good;
    std::string error;
    ASSERT_TRUE(BuildPak({{"one", "dat", Bytes("1111")}, {"two", "tcs", Bytes("22")}}, good, error));
    std::vector<PakEntry> entries;
    ASSERT_TRUE(ReadPakDirectory(good, entries, error));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].name, "two");
    EXPECT_EQ(entries[1].type, "tcs");
    EXPECT_EQ(entries[1].length, 2);
    EXPECT_EQ(std::string(good.begin() + entries[0].offset, good.begin() + entries[0].offset + 4), "1111");

    // Truncated anywhere in the directory or data: refused.
    for (size_t cut : {size_t{3}, size_t{7}, size_t{12}, size_t{30}, good.size() - 1}) {
        std::vector<uint8_t> bad(good.begin(), good.begin() + static_cast<long>(cut));
        EXPECT_FALSE(ReadPakDirectory(bad, entries, error)) << cut;
    }
}

#ifdef RDV_PAK_TOOL
int RunCommand(const std::string& command, std::string* output = nullptr) {
    std::FILE* p = ::popen(command.c_str(), "r");
    if (!p) return -1;
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        if (output) output->append(buf, n);
    return ::pclose(p);
}

TEST(PakTool, CreateListAndOpenThroughTheEngine) {
    test::PackageEngine pe;
    pe.folder.Write("src/level1.tcs", "BTv1\r\n*\r\n");
    pe.folder.Write("src/theme.x", "xof 0302txt");
    const std::string src = (pe.folder.Root() / "src").string();
    const std::string pak = (pe.folder.Root() / "maps/maps.pak").string();
    ASSERT_EQ(RunCommand(std::string(RDV_PAK_TOOL) + " create " + pak + " " + src + "/level1.tcs " + src + "/theme.x"), 0);

    std::string listing;
    ASSERT_EQ(RunCommand(std::string(RDV_PAK_TOOL) + " list " + pak, &listing), 0);
    EXPECT_NE(listing.find("level1\ttcs\t"), std::string::npos) << listing;
    EXPECT_NE(listing.find("theme\tx\t"), std::string::npos) << listing;

    std::string type = "tcs";
    int32_t h = pe.pk().OpenPackage("maps#level1", "maps", type);
    ASSERT_GT(h, 0);
    EXPECT_EQ(type, "tcs");
    EXPECT_EQ(pe.pk().ReadPackageLine(h), "BTv1");
    EXPECT_EQ(pe.pk().ReadPackageLine(h), "*");
    // The level ends itself; the entry reads on into the next one.
    EXPECT_EQ(pe.pk().ReadPackageLine(h), "xof 0302txt");
    pe.pk().ClosePackage(h);

    // Bad input: a missing file or a corrupt archive fails without output files.
    EXPECT_NE(RunCommand(std::string(RDV_PAK_TOOL) + " create " + src + "/out.pak " + src + "/missing.tcs 2>/dev/null"), 0);
    EXPECT_FALSE(std::filesystem::exists(src + "/out.pak"));
    pe.folder.Write("src/bad.pak", "DFPM");
    EXPECT_NE(RunCommand(std::string(RDV_PAK_TOOL) + " list " + src + "/bad.pak 2>/dev/null"), 0);
    EXPECT_NE(RunCommand(std::string(RDV_PAK_TOOL) + " 2>/dev/null"), 0);
}
#endif

} // namespace
} // namespace rdv
