// Main ends every failure in the fatal report and the closed log, whatever
// was thrown.
#include <gtest/gtest.h>

#include <new>

#include "../core/FaultyHost.h"
#include "core/Engine.h"
#include "core/Main.h"

namespace rdv {
namespace {

struct MainReport : ::testing::Test {
    Engine engine;
    std::shared_ptr<test::FaultyHost> host = std::make_shared<test::FaultyHost>();
    std::vector<Log::Line> lines;
    void SetUp() override {
        engine.platform.host = host;
        engine.log.SetCapture(&lines);
    }
    bool Has(const std::string& message) const {
        for (auto& l : lines)
            if (l.message == message) return true;
        return false;
    }
};

TEST_F(MainReport, ANonStandardExceptionReachesTheReportAndTheLogCloses) {
    // Something that is no standard exception, as a plug-in may throw.
    host->onSystemInfo = [] { throw 42; };
    EXPECT_NO_THROW(Main(engine));
    EXPECT_TRUE(Has("FATAL ERROR: 0(0) in Main: Unknown exception"));
    EXPECT_TRUE(Has("DLL Code: Unknown error"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().message, "Log closing");
    EXPECT_EQ(host->inner.boxes.size(), 1u);
}

TEST_F(MainReport, AStandardExceptionReachesTheReportToo) {
    host->onSystemInfo = [] { throw std::bad_alloc(); };
    EXPECT_NO_THROW(Main(engine));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().message, "Log closing");
    bool reported = false;
    for (auto& l : lines) reported |= l.message.rfind("FATAL ERROR: 0(0) in Main: ", 0) == 0;
    EXPECT_TRUE(reported);
}

} // namespace
} // namespace rdv
