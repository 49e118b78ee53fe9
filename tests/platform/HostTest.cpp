// The SDL host under the offscreen video driver (the test environment sets
// SDL_VIDEODRIVER=offscreen): real windows and GL, no display.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/LinuxSystem.h"
#include "platform/SDLHost.h"

namespace rdv {
namespace {

class SdlHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("SDL_VIDEODRIVER", "offscreen", 0);
        host = CreateSDLHost();
        host->SetUnloadHandler([this](IHost::UnloadRequest& r) {
            asked.push_back(r.form);
            if (r.closeRequest && deferNext) {
                r.defer = true;
                deferNext = false;
                return;
            }
            r.cancel = cancelNext;
            cancelNext = false;
        });
    }
    std::shared_ptr<IHost> host;
    std::vector<HostForm> asked;
    bool cancelNext = false;
    bool deferNext = false;
};

TEST_F(SdlHostTest, MessageBoxWithoutADisplayAnswersTheDefaultAndPrints) {
    ASSERT_TRUE(HeadlessVideoDriver());
    ::testing::internal::CaptureStderr();
    MsgResult a = host->MessageBox("Change to hardware?", "Rondovar II", MsgButtons::YesNo, MsgIcon::Exclamation, 2);
    MsgResult b = host->MessageBox("Really?", "Rondovar II", MsgButtons::YesNo, MsgIcon::Question, 1);
    MsgResult c = host->MessageBox("Details", "Rondovar II", MsgButtons::OK, MsgIcon::Information, 1);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(a, MsgResult::No);
    EXPECT_EQ(b, MsgResult::Yes);
    EXPECT_EQ(c, MsgResult::OK);
    EXPECT_NE(err.find("Rondovar II\nChange to hardware?\n"), std::string::npos) << err;
    EXPECT_NE(err.find("Details"), std::string::npos);
}

TEST_F(SdlHostTest, QuitRequestReachesTheUnloadHandler) {
    ASSERT_NE(host->Show(HostForm::Windowed, 320, 240), nullptr);
    host->DoEvents();  // the window's own start-up events
    asked.clear();

    // A cancelled unload keeps the window.
    cancelNext = true;
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    host->DoEvents();
    ASSERT_EQ(asked, std::vector<HostForm>{HostForm::Windowed});
    EXPECT_TRUE(host->Loaded(HostForm::Windowed));

    // A deferred request is asked again at the next pump.
    deferNext = true;
    SDL_PushEvent(&quit);
    host->DoEvents();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_TRUE(host->Loaded(HostForm::Windowed));

    // The next one goes ahead; a second pump asks nobody.
    host->DoEvents();
    host->DoEvents();
    EXPECT_EQ(asked.size(), 3u);
    EXPECT_FALSE(host->Loaded(HostForm::Windowed));
}

TEST_F(SdlHostTest, WindowCloseAsksOnlyItsForm) {
    SDL_Window* w = host->Show(HostForm::Windowed, 320, 240);
    ASSERT_NE(w, nullptr);
    host->DoEvents();
    asked.clear();
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = SDL_GetWindowID(w);
    SDL_PushEvent(&close);
    host->DoEvents();
    EXPECT_EQ(asked, std::vector<HostForm>{HostForm::Windowed});
    EXPECT_FALSE(host->Loaded(HostForm::Windowed));
    // Unloading a form that is not loaded asks nobody.
    host->Unload(HostForm::Full);
    EXPECT_EQ(asked.size(), 1u);
}

TEST_F(SdlHostTest, DispLoadLeavesTheWindowFreeForTheDevicesContext) {
    SDL_Window* w = host->Show(HostForm::Windowed, 320, 240);
    ASSERT_NE(w, nullptr);
    int width = 0, height = 0;
    host->GetClientSize(HostForm::Windowed, width, height);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    host->DispLoad(HostForm::Windowed);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr);
    SDL_GLContext context = SDL_GL_CreateContext(w);
    ASSERT_NE(context, nullptr) << SDL_GetError();
    EXPECT_EQ(SDL_GL_MakeCurrent(w, context), 0);

    // What DispLoad presented: grey face, dark text in a box at the centre.
    using ReadBuffer = void (*)(unsigned);
    using ReadPixels = void (*)(int, int, int, int, unsigned, unsigned, void*);
    auto readBuffer = reinterpret_cast<ReadBuffer>(SDL_GL_GetProcAddress("glReadBuffer"));
    auto readPixels = reinterpret_cast<ReadPixels>(SDL_GL_GetProcAddress("glReadPixels"));
    ASSERT_TRUE(readBuffer && readPixels);
    std::vector<unsigned char> px(320 * 240 * 4);
    readBuffer(0x0404 /* GL_FRONT */);
    readPixels(0, 0, 320, 240, 0x1908 /* GL_RGBA */, 0x1401 /* GL_UNSIGNED_BYTE */, px.data());
    int dark = 0, minX = 320, maxX = -1, minY = 240, maxY = -1;
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            if (px[(y * 320 + x) * 4] >= 100) continue;
            ++dark;
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
    }
    EXPECT_EQ(px[0], 212);  // a corner shows the face colour
    ASSERT_GT(dark, 50);
    EXPECT_NEAR((minX + maxX) / 2.0, 160.0, 4.0);
    EXPECT_NEAR((minY + maxY) / 2.0, 120.0, 6.0);
    SDL_GL_DeleteContext(context);
}

TEST(HostText, LoadingTextIsRasterised) {
    TextImage image;
    ASSERT_TRUE(RenderHostText("Loading...", 16, image)) << "DejaVu Sans not found";
    EXPECT_GT(image.width, 40);
    EXPECT_LT(image.width, 120);
    EXPECT_GE(image.height, 16);
    int inked = 0;
    for (unsigned char c : image.coverage) inked += c > 128;
    EXPECT_GT(inked, 30);
    // The dots at the end ink the bottom right, not the top right.
    int topRight = 0, bottomRight = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = image.width * 3 / 4; x < image.width; ++x)
            (y < image.height / 3 ? topRight : bottomRight) += image.coverage[y * image.width + x] > 128;
    EXPECT_EQ(topRight, 0);
    EXPECT_GT(bottomRight, 0);
}

TEST(LinuxSystem, CpuInfo) {
    const char* x86 =
        "processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\n\n"
        "processor\t: 1\nvendor_id\t: GenuineIntel\ncpu family\t: 6\n";
    SystemInfo a = ParseCpuInfo(x86, "x86_64");
    EXPECT_EQ(a.processorType, 8664u);
    EXPECT_EQ(a.processorCount, 2u);
    EXPECT_EQ(ParseCpuInfo(x86, "i686").processorType, 586u);
    EXPECT_EQ(ParseCpuInfo("processor : 0\ncpu family : 4\n", "i486").processorType, 486u);
    SystemInfo arm = ParseCpuInfo("processor : 0\nBogoMIPS : 50\n", "aarch64");
    EXPECT_EQ(arm.processorType, 0u);
    EXPECT_EQ(arm.processorCount, 1u);
    EXPECT_EQ(ParseCpuInfo("", "x86_64").processorCount, 1u);
}

TEST(LinuxSystem, VersionFromKernelRelease) {
    OSVersionInfo v = LinuxVersion("6.1.0-18-amd64", "#1 SMP Debian 6.1.76-1");
    EXPECT_EQ(v.systemName, "Linux");
    EXPECT_EQ(v.majorVersion, 6u);
    EXPECT_EQ(v.minorVersion, 1u);
    EXPECT_EQ(v.buildNumber, 0u);
    EXPECT_EQ(v.release, "6.1.0-18-amd64");
    OSVersionInfo odd = LinuxVersion("5.15", "");
    EXPECT_EQ(odd.majorVersion, 5u);
    EXPECT_EQ(odd.minorVersion, 15u);
    EXPECT_EQ(LinuxVersion("", "").majorVersion, 0u);
    EXPECT_EQ(ReadVersion().systemName, "Linux");
    EXPECT_GE(ReadSystemInfo().processorCount, 1u);
}

}  // namespace
}  // namespace rdv
