#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/Log.h"
#include "platform/Terminal.h"

namespace rdv {
namespace {

struct FakeTerminal : ITerminal {
    std::string title;
    std::vector<int> attributes;
    std::string text;
    bool released = false;
    void SetTitle(const std::string& t) override { title = t; }
    void SetAttribute(int a) override { attributes.push_back(a); }
    void Write(const std::string& t) override { text += t; }
    void GetSize(int& c, int& r) override { c = 4; r = 2; }
    void Release() override { released = true; }
};

TEST(Log, ConsoleGetsColourOnGreyAndFileGetsLines) {
    auto path = std::filesystem::temp_directory_path() / "rdv_log_test.txt";
    FakeTerminal term;
    {
        Log log;
        log.OpenConsole(&term);
        log.OpenFile(path);
        log.Write("first", 2);
        log.Write("second", 20);  // only the low four bits count
        log.CloseLog();
    }
    EXPECT_EQ(term.title, "Rondovar II Log Console");
    ASSERT_GE(term.attributes.size(), 4u);
    EXPECT_EQ(term.attributes[0], 112);
    EXPECT_EQ(term.attributes[1], 2 + 112);
    EXPECT_EQ(term.attributes[2], 4 + 112);
    EXPECT_EQ(term.text, std::string(8, ' ') + "first\r\nsecond\r\nLog closing\r\n");
    EXPECT_TRUE(term.released);

    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    EXPECT_EQ(ss.str(), "first\r\nsecond\r\nLog closing\r\n");
}

TEST(Log, NoOutputsOpenWritesNothing) {
    std::vector<Log::Line> lines;
    Log log;
    log.SetCapture(&lines);
    log.Write("x", 0);
    EXPECT_FALSE(log.ConsoleOpen());
    EXPECT_FALSE(log.FileOpen());
    ASSERT_EQ(lines.size(), 1u);
}

} // namespace
} // namespace rdv
