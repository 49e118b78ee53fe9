#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/CommandLine.h"
#include "core/Engine.h"
#include "core/Error.h"

namespace rdv {
namespace {

std::vector<std::string> Tokens(std::string rest) {
    std::vector<std::string> out;
    for (int guard = 0; guard < 100 && !rest.empty(); ++guard) out.push_back(NextToken(rest));
    return out;
}

TEST(NextToken, SplitsOnBlanksAndDashes) {
    EXPECT_EQ(Tokens("-c-l"), (std::vector<std::string>{"-c", "-l"}));
    EXPECT_EQ(Tokens("-w level1"), (std::vector<std::string>{"-w", "level1"}));
    // A dash inside a word starts a new token too.
    EXPECT_EQ(Tokens("my-level"), (std::vector<std::string>{"my", "-level"}));
    // Blanks in a row give empty tokens; a trailing blank gives none more.
    EXPECT_EQ(Tokens("a  b "), (std::vector<std::string>{"a", "", "b"}));
    // A dash at the front of a token stays with it; two make two tokens.
    EXPECT_EQ(Tokens("--"), (std::vector<std::string>{"-", "-"}));
    std::string rest;
    EXPECT_EQ(NextToken(rest), "");
}

struct Parsed {
    Engine engine;
    explicit Parsed(const std::string& line) {
        engine.commandLine = line;
        ParseCommand(engine);
    }
};

TEST(ParseCommand, EmptyLineKeepsDefaults) {
    Parsed p("");
    const CommandFlags& f = p.engine.flags;
    EXPECT_FALSE(f.editor || f.meshDrawingOff || f.mouseRelease || f.displayOverrideGiven);
    EXPECT_EQ(f.startFile, "");
    EXPECT_EQ(f.languageOverride, 0);
    EXPECT_EQ(f.soundOverride, 0);
    EXPECT_FALSE(p.engine.log.ConsoleOpen());
    EXPECT_FALSE(p.engine.log.FileOpen());
}

TEST(ParseCommand, OptionsSetTheirFlags) {
    Parsed p("-e -x -m -s -W");
    const CommandFlags& f = p.engine.flags;
    EXPECT_TRUE(f.editor);
    EXPECT_TRUE(f.meshDrawingOff);
    EXPECT_TRUE(f.mouseRelease);
    EXPECT_EQ(f.soundOverride, 1);
    EXPECT_TRUE(f.displayOverrideGiven);
    EXPECT_FALSE(f.displayOverrideWindowed);

    Parsed q("-S-w");
    EXPECT_EQ(q.engine.flags.soundOverride, 2);
    EXPECT_TRUE(q.engine.flags.displayOverrideWindowed);
    // The later of two display options wins.
    Parsed r("-w -W");
    EXPECT_FALSE(r.engine.flags.displayOverrideWindowed);
}

TEST(ParseCommand, StartFileFromBareWordOrDashF) {
    EXPECT_EQ(Parsed("level1").engine.flags.startFile, "level1");
    EXPECT_EQ(Parsed("-f level1").engine.flags.startFile, "level1");
    EXPECT_EQ(Parsed("-flevel1").engine.flags.startFile, "level1");
    // The letter is c; the rest of the token is a start file, not -l.
    Parsed cl("-cl");
    EXPECT_EQ(cl.engine.flags.startFile, "l");
    EXPECT_FALSE(cl.engine.log.FileOpen());
    // A later bare word replaces an earlier one.
    EXPECT_EQ(Parsed("one two").engine.flags.startFile, "two");
}

TEST(ParseCommand, LanguageOverride) {
    EXPECT_EQ(Parsed("-L3").engine.flags.languageOverride, 3);
    EXPECT_EQ(Parsed("-L 3").engine.flags.languageOverride, 3);
    EXPECT_EQ(Parsed("-L").engine.flags.languageOverride, -1);
    EXPECT_EQ(Parsed("-L0").engine.flags.languageOverride, -1);
    // After the value the next bare word is a start file again.
    Parsed p("-L 2 level7");
    EXPECT_EQ(p.engine.flags.languageOverride, 2);
    EXPECT_EQ(p.engine.flags.startFile, "level7");
    // An option right after -L leaves it at "no language chosen".
    Parsed q("-L -e");
    EXPECT_EQ(q.engine.flags.languageOverride, -1);
    EXPECT_TRUE(q.engine.flags.editor);
    // The value is read as every number of the engine is: a hex prefix is no
    // number ("0x2" is 0, so no language), halves round to even, words read 0.
    EXPECT_EQ(Parsed("-L0x2").engine.flags.languageOverride, -1);
    EXPECT_EQ(Parsed("-L 2.5").engine.flags.languageOverride, 2);
    EXPECT_EQ(Parsed("-L 3.5").engine.flags.languageOverride, 4);
    EXPECT_EQ(Parsed("-L 1e1").engine.flags.languageOverride, 10);
    EXPECT_EQ(Parsed("-Linf").engine.flags.languageOverride, -1);
    EXPECT_EQ(Parsed("-L 99999999999").engine.flags.languageOverride, 2147483647);
}

void ExpectError(const std::string& line, const std::string& description) {
    Engine engine;
    engine.commandLine = line;
    try {
        ParseCommand(engine);
        ADD_FAILURE() << "no error for " << line;
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, 1008) << line;
        EXPECT_EQ(e.source, "Main->ParseCommand") << line;
        EXPECT_EQ(e.description, description) << line;
    }
}

TEST(ParseCommand, InvalidOptionsRaise1008) {
    ExpectError("-q", "Invalid parameter: q");
    ExpectError("-C", "Invalid parameter: C");  // letters are case-sensitive
    ExpectError("-e -M", "Invalid parameter: M");
    ExpectError("-", "Parameter error: ");
}

TEST(ParseCommand, OptionsBeforeABadOneStayInForce) {
    auto folder = std::filesystem::temp_directory_path() / "rdv_cmdline_test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    Engine engine;
    engine.programFolder = folder;
    engine.commandLine = "-e -l -q";
    EXPECT_THROW(ParseCommand(engine), EngineError);
    EXPECT_TRUE(engine.flags.editor);
    EXPECT_TRUE(engine.log.FileOpen());
    engine.log.CloseLog();
    std::ifstream in(folder / "log.txt");
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "Log closing\r");
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace rdv
