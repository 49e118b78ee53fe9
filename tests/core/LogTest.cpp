#include <gtest/gtest.h>

#include "TempFolder.h"
#include "core/Log.h"
#include "core/SystemReport.h"
#include "core/Engine.h"
#include "platform/HeadlessHost.h"
#include "platform/Terminal.h"

namespace rdv {
namespace {

class FakeTerminal : public ITerminal {
public:
    std::vector<std::string> calls;
    int columns = 4, rows = 2;
    void SetTitle(const std::string& t) override { calls.push_back("title " + t); }
    void SetAttribute(int a) override { calls.push_back("attr " + std::to_string(a)); }
    void Write(const std::string& text) override { calls.push_back("write " + text); }
    void GetSize(int& c, int& r) override {
        c = columns;
        r = rows;
    }
    void Release() override { calls.push_back("release"); }
};

TEST(Log, ConsoleLinesInTheirColourOnGrey) {
    FakeTerminal terminal;
    Log log;
    log.OpenConsole(&terminal);
    log.Write("hello", 2);
    log.Write("high bits", 0x14);  // only the low four bits count
    log.CloseLog();
    EXPECT_EQ(terminal.calls, (std::vector<std::string>{
                                  "title Rondovar II Log Console", "attr 112", "write         ",  // 4 x 2 blanks
                                  "attr 114", "write hello\r\n", "attr 116", "write high bits\r\n", "attr 112",
                                  "write Log closing\r\n", "release"}));
    EXPECT_FALSE(log.ConsoleOpen());
    log.Write("after close", 0);  // silent, no crash
    EXPECT_EQ(terminal.calls.size(), 10u);
}

TEST(Log, FileHoldsTheLinesAndIsReplacedByTheNextRun) {
    test::TempFolder folder("rdv_log");
    auto path = folder.path() / "log.txt";
    {
        Log log;
        log.OpenFile(path);
        log.Write("first run", 0);
        log.CloseLog();
    }
    Log log;
    log.OpenFile(path);
    log.Write("RondovarEngine v1.0.29", 2);
    // Flushed line by line: readable before the log is closed.
    auto bytes = test::ReadBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "RondovarEngine v1.0.29\r\n");
    log.CloseLog();
    bytes = test::ReadBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "RondovarEngine v1.0.29\r\nLog closing\r\n");
}

TEST(Log, WithoutOutputsNothingIsWritten) {
    Log log;
    log.Write("nowhere", 4);
    log.CloseLog();
    EXPECT_FALSE(log.FileOpen());
}

TEST(LogSystemInfo, ThreeLinesInDetailColour) {
    Engine engine;
    auto host = std::make_shared<HeadlessHost>();
    host->systemInfo = {586, 2};
    engine.platform.host = host;
    std::vector<Log::Line> lines;
    engine.log.SetCapture(&lines);
    LogSystemInfo(engine);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].message, "Processor type:586");
    EXPECT_EQ(lines[1].message, "Processor Count:2");
    EXPECT_EQ(lines[2].message, "Operating System:Windows XP v2.5.1.2600 (Service Pack 2)");
    for (auto& l : lines) EXPECT_EQ(l.colour, 0);
}

}  // namespace
}  // namespace rdv
