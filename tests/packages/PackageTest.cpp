#include <algorithm>

#include <gtest/gtest.h>

#include "packages/PakFile.h"
#include "PackageTestUtil.h"

namespace rdv {
namespace {

using test::Bytes;
using test::PackageEngine;
using test::PutLong;

std::vector<uint8_t> MakePak(const std::vector<PakSource>& sources) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(BuildPak(sources, out, error)) << error;
    return out;
}

// A hand-made archive: header and then whatever directory bytes a test wants.
std::vector<uint8_t> RawPak(int32_t version, const std::vector<uint8_t>& rest) {
    std::vector<uint8_t> out;
    PutLong(out, kPakMagic);
    PutLong(out, version);
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

class PackageTest : public ::testing::Test, public PackageEngine {};

TEST_F(PackageTest, PlainFileGivesItsExtensionAsTypeAndIgnoresCase) {
    folder.Write("maps/Level1.TCS", "BTv1\r\n");
    std::string type = "tcs";
    int32_t h = pk().OpenPackage("level1", "MAPS", type);
    ASSERT_GT(h, 0);
    EXPECT_EQ(type, "TCS");  // the name as stored on disk
    EXPECT_EQ(pk().ReadPackageLine(h), "BTv1");
    pk().ClosePackage(h);
    EXPECT_EQ(pk().Depth(), 0);

    folder.Write("models/font.x", "xof");
    type = "?";
    h = pk().OpenPackage("Font", "models", type);
    ASSERT_GT(h, 0);
    EXPECT_EQ(type, "x");
    pk().ClosePackage(h);

    folder.Write("data/m.ab", "1");
    type = "";
    h = pk().OpenPackage("m", "data", type);
    EXPECT_EQ(type, "ab");
    pk().ClosePackage(h);

    // "name.*" takes a file called just "name"; its type is its last three characters.
    folder.Write("data/credits", "roll\n");
    type = "dat";
    h = pk().OpenPackage("credits", "data", type);
    ASSERT_GT(h, 0);
    EXPECT_EQ(type, "its");
    EXPECT_EQ(pk().ReadPackageLine(h), "roll");
    pk().ClosePackage(h);
}

TEST_F(PackageTest, SeveralMatchesTakeTheFirstInByteOrderAndNoneKeepsNone) {
    folder.Write("data/cat.txt", "text\n");
    folder.Write("data/cat.dat", "data\n");
    std::string type = "none";
    int32_t h = pk().OpenPackage("cat", "data", type);
    ASSERT_GT(h, 0);
    EXPECT_EQ(type, "none");
    EXPECT_EQ(pk().ReadPackageLine(h), "data");
    pk().ClosePackage(h);
}

TEST_F(PackageTest, MissingPlainFileFailsAndLeavesTheDepth) {
    std::string type = "dat";
    EXPECT_EQ(pk().OpenPackage("nothing", "data", type), 0);
    EXPECT_EQ(type, "dat");
    EXPECT_EQ(pk().Depth(), 0);
    EXPECT_EQ(pk().OpenCount(), 0u);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].message, "Loading: nothing");
}

// Departs from the original: references with ".." or an absolute path are refused.
TEST_F(PackageTest, ReferencesStayInsideTheirDataFolder) {
    folder.Write("maps/sub/deep.tcs", "deep\n");
    folder.Write("secret.txt", "no");
    folder.Write("secret.pak", "no");
    std::string type = "none";
    int32_t h = pk().OpenPackage("Sub/deep", "maps", type);
    ASSERT_GT(h, 0);
    EXPECT_EQ(pk().ReadPackageLine(h), "deep");
    pk().ClosePackage(h);
    for (const char* ref : {"../secret", "sub/../../secret", "/etc/passwd", "../secret#a"})
        EXPECT_EQ(pk().OpenPackage(ref, "maps", type), 0) << ref;
    type = "txt";
    EXPECT_EQ(pk().OpenPackageForWrite("../secret", "maps", type, true, true), 0);
    EXPECT_EQ(folder.Read("secret.txt"), "no");
    EXPECT_EQ(pk().Depth(), 0);
}

TEST_F(PackageTest, ArchiveEntryIsPositionedAndTyped) {
    folder.Write("maps/maps.pak", MakePak({{"level1", "tcs", Bytes("one\r\n")}, {"level2", "tcs", Bytes("two\r\n")},
                                           {"langfiles", "dat", Bytes("x")}}));
    std::string type = "tcs";
    int32_t h = pk().OpenPackage("maps#level2", "maps", type);
    ASSERT_GT(h, 0);
    EXPECT_EQ(type, "tcs");
    EXPECT_EQ(pk().ReadPackageLine(h), "two");
    pk().ClosePackage(h);

    type = "none";
    h = pk().OpenPackage("maps#langfiles", "maps", type);
    ASSERT_GT(h, 0);
    EXPECT_EQ(type, "none");
    pk().ClosePackage(h);

    // Entry names compare exactly.
    type = "tcs";
    EXPECT_EQ(pk().OpenPackage("maps#Level1", "maps", type), 0);
    EXPECT_EQ(pk().OpenPackage("maps#level9", "maps", type), 0);
    EXPECT_EQ(pk().Depth(), 0);
    EXPECT_EQ(pk().OpenCount(), 0u);
}

TEST_F(PackageTest, ArchiveOutsideItsFolderIsFoundWithAWarning) {
    folder.Write("data/maps.pak", MakePak({{"level3", "tcs", Bytes("three\n")}}));
    std::string type = "tcs";
    int32_t h = pk().OpenPackage("maps#level3", "maps", type);
    ASSERT_GT(h, 0);
    EXPECT_EQ(pk().ReadPackageLine(h), "three");
    pk().ClosePackage(h);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].message, "Warning: package not in expected path (maps): maps#level3");
    EXPECT_EQ(lines[1].colour, 6);

    lines.clear();
    EXPECT_EQ(pk().OpenPackage("gone#level3", "maps", type), 0);
    ASSERT_EQ(lines.size(), 2u);  // the load line and the warning, nothing more
}

TEST_F(PackageTest, WrongMagicOrVersionIsRefused) {
    std::vector<uint8_t> dir = Bytes("a\r\ndat\r\n");
    PutLong(dir, 8 + 12 + 2);
    PutLong(dir, 0);
    dir.push_back('\n');
    folder.Write("data/v.pak", RawPak(0x00010000, dir));
    auto bad = RawPak(kPakVersion, dir);
    bad[0] = 'X';
    folder.Write("data/m.pak", bad);
    folder.Write("data/ok.pak", RawPak(kPakVersion, dir));
    std::string type = "dat";
    EXPECT_EQ(pk().OpenPackage("v#a", "data", type), 0);
    EXPECT_EQ(pk().OpenPackage("m#a", "data", type), 0);
    int32_t h = pk().OpenPackage("ok#a", "data", type);
    EXPECT_GT(h, 0);
    pk().ClosePackage(h);
    EXPECT_EQ(pk().OpenCount(), 0u);
}

TEST_F(PackageTest, CorruptDirectoriesFailTheOpen) {
    auto entry = [](const std::string& name, int32_t offset, int32_t length) {
        std::vector<uint8_t> d = Bytes(name + "\r\ndat\r\n");
        PutLong(d, offset);
        PutLong(d, length);
        return d;
    };
    auto cat = [](std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<uint8_t> end = Bytes("\n");
    const std::vector<uint8_t> payload = Bytes("0123456789");
    // Offsets are counted from the magic; the payload follows the directory.
    folder.Write("data/past.pak", RawPak(kPakVersion, cat(cat(entry("a", 1000, 4), end), payload)));
    folder.Write("data/neg.pak", RawPak(kPakVersion, cat(cat(entry("a", -5, 4), end), payload)));
    folder.Write("data/long.pak", RawPak(kPakVersion, cat(cat(entry("a", 25, 5000), end), payload)));
    folder.Write("data/nolen.pak", RawPak(kPakVersion, Bytes("a\r\ndat\r\n\x10\x00")));
    // No empty name: the directory runs into the end of the file.
    folder.Write("data/endless.pak", RawPak(kPakVersion, cat(entry("a", 8, 1), entry("b", 8, 1))));
    // An empty entry name never matches the terminator.
    folder.Write("data/empty.pak", RawPak(kPakVersion, cat(entry("a", 8, 1), end)));
    std::string type = "dat";
    // Departs from the original: a negative offset does not open.
    for (const char* ref : {"neg#a", "nolen#a", "endless#c", "empty#"}) {
        EXPECT_EQ(pk().OpenPackage(ref, "data", type), 0) << ref;
        EXPECT_EQ(pk().Depth(), 0) << ref;
    }
    EXPECT_EQ(pk().OpenCount(), 0u);
    // The entry before the missing terminator is still found.
    int32_t h = pk().OpenPackage("endless#b", "data", type);
    EXPECT_GT(h, 0);
    pk().ClosePackage(h);

    // The length field bounds nothing: an entry longer than the archive reads
    // to the archive's end, one that starts past the end reads as zeros.
    h = pk().OpenPackage("long#a", "data", type);
    ASSERT_GT(h, 0);
    EXPECT_EQ(pk().ReadPackageLine(h), "0123456789");
    EXPECT_TRUE(pk().PackageEOF(h));
    EXPECT_EQ(pk().ReadPackageLong(h), 0);
    pk().ClosePackage(h);
    h = pk().OpenPackage("past#a", "data", type);
    ASSERT_GT(h, 0);
    EXPECT_EQ(pk().PackageLength(h), 0);
    EXPECT_EQ(pk().ReadPackageLine(h), "");
    EXPECT_EQ(pk().ReadPackageLong(h), 0);
    pk().ClosePackage(h);
    EXPECT_EQ(pk().Depth(), 0);
}

TEST_F(PackageTest, ReadsPastTheEndYieldZeros) {
    folder.Write("data/short.bin", std::vector<uint8_t>{0x34, 0x12});
    std::string type = "none";
    int32_t h = pk().OpenPackage("short", "data", type);
    ASSERT_GT(h, 0);
    EXPECT_EQ(pk().ReadPackageLong(h), 0x1234);
    EXPECT_TRUE(pk().PackageEOF(h));
    EXPECT_EQ(pk().ReadPackageLong(h), 0);
    EXPECT_EQ(pk().ReadPackageSingle(h), 0.0f);
    EXPECT_EQ(pk().ReadPackageByte(h), 0);
    EXPECT_EQ(pk().ReadPackageLine(h), "");
    EXPECT_EQ(pk().ReadPackageColor(h), (FloatColor{0, 0, 0, 0}));
    pk().ClosePackage(h);

    // An archive entry reads on from its offset to the archive's end (each
    // format ends itself), so it runs into the next entry and then zeros.
    folder.Write("data/two.pak", MakePak({{"a", "bin", {1, 2}}, {"b", "bin", {0xFF, 0xFF, 0xFF, 0x7F}}}));
    h = pk().OpenPackage("two#a", "data", type);
    ASSERT_GT(h, 0);
    EXPECT_EQ(pk().PackageLength(h), 6);
    EXPECT_EQ(pk().ReadPackageByte(h), 1);
    EXPECT_EQ(pk().ReadPackageByte(h), 2);
    EXPECT_EQ(pk().ReadPackageLong(h), 0x7FFFFFFF);
    EXPECT_EQ(pk().ReadPackageLong(h), 0);
    EXPECT_EQ(pk().ReadPackageLine(h), "");
    pk().ClosePackage(h);
    // A level whose length field is wrong still loads whole.
    std::vector<uint8_t> lvl = MakePak({{"l", "tcs", Bytes("BTv1\r\n*\r\n")}});
    const std::vector<uint8_t> lengthField = {9, 0, 0, 0};
    auto at = std::search(lvl.begin(), lvl.end(), lengthField.begin(), lengthField.end());
    ASSERT_NE(at, lvl.end());
    std::fill(at, at + 4, uint8_t{1});
    folder.Write("data/lvl.pak", lvl);
    h = pk().OpenPackage("lvl#l", "data", type);
    ASSERT_GT(h, 0);
    EXPECT_EQ(pk().ReadPackageLine(h), "BTv1");
    EXPECT_EQ(pk().ReadPackageLine(h), "*");
    pk().ClosePackage(h);

    // Reads on a handle that is not open give zeros too.
    EXPECT_EQ(pk().ReadPackageLong(77), 0);
    EXPECT_EQ(pk().ReadPackageLine(77), "");
}

TEST_F(PackageTest, LineReadingDropsControlBytesAndEndsAtLineFeedOrZero) {
    std::vector<uint8_t> text = Bytes("ab\tc\r\nplain\n\r\nx\ry\n");
    text.insert(text.end(), {'z', 0, 'w', 0xE9, 0x80, 0x0E, '\n', 'l', 'a', 's', 't'});
    folder.Write("data/lines.txt", text);
    std::string type = "none";
    int32_t h = pk().OpenPackage("lines", "data", type);
    ASSERT_GT(h, 0);
    EXPECT_EQ(pk().ReadPackageLine(h), "abc");
    EXPECT_EQ(pk().ReadPackageLine(h), "plain");
    EXPECT_EQ(pk().ReadPackageLine(h), "");
    EXPECT_EQ(pk().ReadPackageLine(h), "xy");  // a lone CR is dropped, not a line end
    EXPECT_EQ(pk().ReadPackageLine(h), "z");
    EXPECT_EQ(pk().ReadPackageLine(h), "w\xE9\x80\x0E");  // bytes of 14 and up stay as they are
    EXPECT_EQ(pk().ReadPackageLine(h), "last");
    EXPECT_EQ(pk().ReadPackageLine(h), "");
    pk().ClosePackage(h);
}

TEST_F(PackageTest, NumericValuesAreLittleEndian) {
    std::vector<uint8_t> b;
    PutLong(b, -2);
    PutLong(b, 0x3FC00000);  // 1.5f
    b.push_back(200);
    b.insert(b.end(), {255, 0, 51, 255});  // alpha, red, green, blue
    PutLong(b, 0);
    folder.Write("data/nums.bin", b);
    std::string type = "none";
    int32_t h = pk().OpenPackage("nums", "data", type);
    EXPECT_EQ(pk().ReadPackageLong(h), -2);
    EXPECT_EQ(pk().ReadPackageSingle(h), 1.5f);
    EXPECT_EQ(pk().ReadPackageByte(h), 200);
    FloatColor c = pk().ReadPackageColor(h);
    EXPECT_FLOAT_EQ(c.r, 0.0f);
    EXPECT_FLOAT_EQ(c.g, 0.2f);
    EXPECT_FLOAT_EQ(c.b, 1.0f);
    EXPECT_FLOAT_EQ(c.a, 1.0f);
    pk().PackageSeek(h, 8);
    EXPECT_EQ(pk().ReadPackageByte(h), 200);
    pk().ClosePackage(h);
}

TEST_F(PackageTest, NestedLoadsLogTheirDepth) {
    folder.Write("maps/level.tcs", "x");
    folder.Write("models/ball.tcm", "y");
    std::string type = "none";
    int32_t level = pk().OpenPackage("level", "maps", type);
    int32_t model = pk().OpenPackage("ball", "models", type);
    EXPECT_EQ(level, 1);  // the lowest free file numbers
    EXPECT_EQ(model, 2);
    pk().BeginLoadStep("texture.png");
    EXPECT_EQ(pk().Depth(), 3);
    pk().EndLoadStep();
    pk().ClosePackage(model);
    pk().ClosePackage(level);
    EXPECT_EQ(pk().Depth(), 0);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].message, "Loading: level");
    EXPECT_EQ(lines[1].message, "  Bound to: ball");
    EXPECT_EQ(lines[2].message, "    Bound to: texture.png");
    for (const auto& l : lines) EXPECT_EQ(l.colour, 0);

    // Closing what is not open and unpaired ends never go below zero.
    pk().ClosePackage(level);
    pk().ClosePackage(0);
    pk().EndLoadStep();
    EXPECT_EQ(pk().Depth(), 0);
}

// Departs from the original: "#N" with no string N is left as written.
TEST_F(PackageTest, TextReferencesResolveThroughTheLanguageStrings) {
    EXPECT_EQ(pk().ResolveTextReference("#3"), "#3");  // no catalogue loaded yet
    engine.languageStrings = {"zero", "one", "data#campaign"};
    EXPECT_EQ(pk().ResolveTextReference("#1"), "one");
    EXPECT_EQ(pk().ResolveTextReference("#1x"), "one");
    EXPECT_EQ(pk().ResolveTextReference("#92"), "#92");
    EXPECT_EQ(pk().ResolveTextReference("#-1"), "#-1");
    EXPECT_EQ(pk().ResolveTextReference("plain#1"), "plain#1");
    EXPECT_EQ(ResolveTextReference(engine, "#0"), "zero");

    folder.Write("data/data.pak", MakePak({{"campaign", "cpn", Bytes("first\n")}}));
    std::string type = "cpn";
    int32_t h = pk().OpenPackage("#2", "data", type);
    ASSERT_GT(h, 0);
    EXPECT_EQ(lines[0].message, "Loading: data#campaign");
    EXPECT_EQ(pk().ReadPackageLine(h), "first");
    pk().ClosePackage(h);
}

TEST_F(PackageTest, WritingANewFileUsesTheTypeAndEndsLinesWithCrLf) {
    std::string type = "tcs";
    int32_t h = pk().OpenPackageForWrite("save", "maps", type, true, true);
    ASSERT_GT(h, 0);
    pk().WritePackageLine(h, "BTv1");
    pk().WritePackageLine(h, "-objects");
    pk().ClosePackage(h);
    EXPECT_EQ(folder.Read("maps/save.tcs"), "BTv1\r\n-objects\r\n");
    EXPECT_EQ(pk().Depth(), 0);
    EXPECT_EQ(lines[0].message, "Saving: save");
    // No temporary file is left beside it.
    size_t count = 0;
    for (auto& e : std::filesystem::directory_iterator(folder.Root() / "maps")) count += e.is_regular_file();
    EXPECT_EQ(count, 1u);
}

TEST_F(PackageTest, WritingOverAnExistingFileFollowsItsPermissions) {
    folder.Write("maps/level1.tcs", "old contents that are long\r\n");
    std::string type = "tcs";
    EXPECT_EQ(pk().OpenPackageForWrite("level1", "maps", type, false, false), -1);
    EXPECT_EQ(lines.back().message, "File exists - no overwrite permission");
    EXPECT_EQ(pk().Depth(), 0);

    // Delete first: the new file holds only what was written.
    int32_t h = pk().OpenPackageForWrite("level1", "maps", type, true, true);
    ASSERT_GT(h, 0);
    pk().WritePackageLine(h, "new");
    // Until the save completes the old file stays whole.
    EXPECT_EQ(folder.Read("maps/level1.tcs"), "old contents that are long\r\n");
    pk().ClosePackage(h);
    EXPECT_EQ(folder.Read("maps/level1.tcs"), "new\r\n");

    // Overwrite alone: bytes beyond what is written stay.
    h = pk().OpenPackageForWrite("level1", "maps", type, true, false);
    pk().WritePackageLine(h, "N");
    pk().ClosePackage(h);
    EXPECT_EQ(folder.Read("maps/level1.tcs"), "N\r\n\r\n");
}

TEST_F(PackageTest, WriteRefusesConflictsArchivesAndAbandonedSaves) {
    folder.Write("maps/level1.tcx", "keep");
    std::string type = "tcs";
    EXPECT_EQ(pk().OpenPackageForWrite("level1", "maps", type, true, true), 0);
    EXPECT_EQ(lines.back().message, "WARNING: Extension Conflict");
    EXPECT_EQ(lines.back().colour, 4);
    EXPECT_EQ(folder.Read("maps/level1.tcx"), "keep");
    EXPECT_EQ(pk().OpenPackageForWrite("maps#level1", "maps", type, true, true), 0);
    EXPECT_EQ(pk().Depth(), 0);

    // A save while a load is open nests as a cascade.
    std::string none = "none";
    int32_t r = pk().OpenPackage("level1", "maps", none);
    int32_t w = pk().OpenPackageForWrite("light", "maps", type, true, true);
    EXPECT_EQ(lines.back().message, "  Cascade to: light");
    pk().ClosePackage(w);
    pk().ClosePackage(r);
    EXPECT_EQ(pk().Depth(), 0);

    // A save that never completes (the module goes away first) changes nothing.
    folder.Write("maps/level2.tcs", "good");
    {
        Engine other;
        other.programFolder = folder.Root();
        engPackage pkg(other);
        int32_t h = pkg.OpenPackageForWrite("level2", "maps", type, true, true);
        ASSERT_GT(h, 0);
        pkg.WritePackageLine(h, "half");
    }
    EXPECT_EQ(folder.Read("maps/level2.tcs"), "good");
}

} // namespace
} // namespace rdv
