#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "core/Engine.h"
#include "core/Error.h"
#include "core/HostForms.h"
#include "core/SystemReport.h"
#include "platform/HeadlessHost.h"
#include "FaultyHost.h"

namespace rdv {
namespace {

struct Report : ::testing::Test {
    Engine engine;
    std::shared_ptr<HeadlessHost> host = std::make_shared<HeadlessHost>();
    std::vector<Log::Line> lines;
    void SetUp() override {
        engine.platform.host = host;
        engine.log.SetCapture(&lines);
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> m;
        for (auto& l : lines) m.push_back(l.message);
        return m;
    }
};

TEST_F(Report, CommandLineErrorBeforeAnythingStarted) {
    engine.running = true;
    bool shutDown = false;
    FatalErrorReport(engine, EngineError(1008, "Main->ParseCommand", "Invalid parameter: q"),
                     [&] { shutDown = true; });
    EXPECT_EQ(Messages(), (std::vector<std::string>{
                              "FATAL ERROR: 1008(0) in Main->ParseCommand: Invalid parameter: q",
                              "Error Code: Invalid Command Line",
                              "DLL Code: Unknown error",
                              "Log closing",
                          }));
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(lines[i].colour, 4);
    EXPECT_TRUE(shutDown);
    EXPECT_FALSE(engine.running);
    ASSERT_EQ(host->boxes.size(), 1u);  // the default answer is No
    const HeadlessHost::Box& box = host->boxes[0];
    EXPECT_EQ(box.title, "Rondovar II");
    EXPECT_EQ(box.text, "Rondovar II has encountered an error and has closed. Do you want to see the details?");
    EXPECT_EQ(box.buttons, MsgButtons::YesNo);
    EXPECT_EQ(box.icon, MsgIcon::Critical);
    EXPECT_EQ(box.defaultButton, 2);
}

TEST_F(Report, DetailsExplainTheDllCodeWhenTheNumberIsZero) {
    host->answers.push_back(MsgResult::Yes);
    const int32_t deviceLost = static_cast<int32_t>(0x88760868u);
    FatalErrorReport(engine, EngineError(0, "Engine->MainLoop->Display", "Present failed", deviceLost), nullptr);
    EXPECT_EQ(lines[0].message, "FATAL ERROR: 0(-2005530520) in Engine->MainLoop->Display: Present failed");
    EXPECT_EQ(lines[2].message,
              "DLL Code: The device is lost and cannot be restored at the current time, so rendering is not possible.");
    ASSERT_EQ(host->boxes.size(), 2u);
    EXPECT_EQ(host->boxes[1].text,
              "Error 0 in Engine->MainLoop->Display:\r\nPresent failed\r\n(The device is lost and cannot be "
              "restored at the current time, so rendering is not possible.)");
    EXPECT_EQ(host->boxes[1].icon, MsgIcon::Information);
    EXPECT_EQ(host->boxes[1].buttons, MsgButtons::OK);
}

TEST_F(Report, DetailsExplainTheNumberOtherwise) {
    host->answers.push_back(MsgResult::Yes);
    FatalErrorReport(engine, EngineError(1002, "Engine->LoadLevel->OpenPackage", "Could not find level1", 5),
                     nullptr);
    EXPECT_EQ(host->boxes[1].text,
              "Error 1002 in Engine->LoadLevel->OpenPackage:\r\nCould not find level1\r\n(A package/file access "
              "error occured)");
}

// Departs from the original: an errno the error table does not know gets the platform's text.
TEST_F(Report, APlatformErrorNumberIsExplainedByThePlatform) {
    host->answers.push_back(MsgResult::Yes);
    FatalErrorReport(engine, EngineError(0, "Init->LoadSettings", "Could not create settings.dat", ENOENT), nullptr);
    EXPECT_EQ(lines[0].message, "FATAL ERROR: 0(" + std::to_string(ENOENT) +
                                    ") in Init->LoadSettings: Could not create settings.dat");
    EXPECT_EQ(lines[2].message, std::string("DLL Code: ") + std::strerror(ENOENT));
    ASSERT_EQ(host->boxes.size(), 2u);
    EXPECT_EQ(host->boxes[1].text, std::string("Error 0 in Init->LoadSettings:\r\nCould not create settings.dat\r\n(") +
                                       std::strerror(ENOENT) + ")");
    // The codes the error table knows keep its text.
    EXPECT_EQ(DllCodeText(5), "An invalid parameter was passed to the returning function.");
    EXPECT_EQ(DllCodeText(0), "Unknown error");
    EXPECT_EQ(DllCodeText(-7), "Unknown error");
}

// Departs from the original: each shutdown step of the report is guarded on its own.
TEST_F(Report, AFailingShutdownIsLoggedAndTheReportGoesOn) {
    FatalErrorReport(engine, EngineError(1001, "CreateDevice", "no device"),
                     [] { throw EngineError(1002, "Shutdown", "broken"); });
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines.back().message, "Log closing");
    EXPECT_EQ(host->boxes.size(), 1u);
}

TEST(HostForms, WindowedFormStaysWhileTheLoopRuns) {
    Engine engine;
    auto host = std::make_shared<HeadlessHost>();
    engine.platform.host = host;
    ShowHostWindow(engine, HostForm::Windowed);
    EXPECT_EQ(engine.hostWindow, HostForm::Windowed);
    engine.running = true;
    host->PushClose(HostForm::Windowed);
    DoEvents(engine);
    EXPECT_FALSE(engine.running);
    EXPECT_TRUE(host->Loaded(HostForm::Windowed));
    // Main's own unload after the loop goes ahead.
    UnloadHostForms(engine);
    EXPECT_FALSE(host->Loaded(HostForm::Windowed));
    EXPECT_FALSE(engine.hostWindow.has_value());
}

// The host knows no engine errors: its failure arrives as the engine's
// device error with the host's source, text and system code.
TEST(HostForms, AHostFailureBecomesTheDeviceError) {
    Engine engine;
    auto host = std::make_shared<test::FaultyHost>();
    host->onShow = [] { throw HostError("frmHost.Show", "Could not create the host window: no display", 111); };
    engine.platform.host = host;
    try {
        ShowHostWindow(engine, HostForm::Windowed);
        FAIL() << "no error";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, ErrDevice);
        EXPECT_EQ(e.source, "frmHost.Show");
        EXPECT_EQ(e.description, "Could not create the host window: no display");
        EXPECT_EQ(e.dllCode, 111);
    }
    EXPECT_EQ(HostFailure(HostError("a", "b", 2)).number, ErrDevice);
}

TEST(HostForms, FullScreenFormGoesAndStopsTheLoop) {
    Engine engine;
    auto host = std::make_shared<HeadlessHost>();
    engine.platform.host = host;
    ShowHostWindow(engine, HostForm::Full);
    engine.running = true;
    host->PushQuit();  // SIGTERM, SIGINT, the desktop's close
    DoEvents(engine);
    EXPECT_FALSE(engine.running);
    EXPECT_FALSE(host->Loaded(HostForm::Full));
    // Unloading forms that are already gone is harmless.
    UnloadHostForms(engine);
    DispLoadHostWindow(engine);
    EXPECT_EQ(host->calls, (std::vector<std::string>{"Show Full", "DoEvents", "Unload Full"}));
}

TEST(HostForms, QuitWhileTheLoopRunsKeepsTheWindowedForm) {
    Engine engine;
    auto host = std::make_shared<HeadlessHost>();
    engine.platform.host = host;
    ShowHostWindow(engine, HostForm::Windowed);
    DispLoadHostWindow(engine);
    engine.running = true;
    host->PushQuit();
    DoEvents(engine);
    EXPECT_FALSE(engine.running);
    EXPECT_EQ(host->calls, (std::vector<std::string>{"Show Windowed", "DispLoad Windowed", "DoEvents",
                                                     "Cancel Windowed"}));
}

}  // namespace
}  // namespace rdv

namespace rdv {
namespace {

// Departs from the original: a close during start-up waits for the main loop.
TEST(HostForms, CloseDuringStartUpWaitsForTheLoop) {
    Engine engine;
    auto host = std::make_shared<HeadlessHost>();
    engine.platform.host = host;
    ShowHostWindow(engine, HostForm::Full);
    // Start-up lets messages run (input's retry) before the loop is on.
    host->PushClose(HostForm::Full);
    DoEvents(engine);
    EXPECT_TRUE(host->Loaded(HostForm::Full));
    engine.running = true;
    DoEvents(engine);
    EXPECT_FALSE(engine.running);
    EXPECT_FALSE(host->Loaded(HostForm::Full));
}

}  // namespace
}  // namespace rdv
