// The graphics start-up, frames and shutdown on the real OpenGL adapter
// (SDL's offscreen driver in test runs).
#include <gtest/gtest.h>

#include <SDL.h>

#include "core/Engine.h"
#include "core/Subsystems.h"
#include "graphics/Core.h"
#include "headless/RecordingEngine.h"

using namespace rdv;

TEST(CoreGL, StartsPresentsAndShutsDownOnOpenGL) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) GTEST_SKIP() << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("CoreGL", 0, 0, 640, 480, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) GTEST_SKIP() << SDL_GetError();
    {
        Engine e;
        std::vector<Log::Line> lines;
        e.log.SetCapture(&lines);
        e.settings = RecordingSettings();
        e.hostWindowHandle = window;
        InitGraphics(e);
        ASSERT_NE(e.gfx->Device(), nullptr);
        EXPECT_GE(e.gfx->resolutionCount, 1);
        for (int i = 0; i < 3; ++i) {
            BeginFrame(e);
            Display(e);
        }
        auto logged = [&](const std::string& text) {
            for (const auto& l : lines)
                if (l.message == text) return true;
            return false;
        };
        EXPECT_TRUE(logged("Checking Device for use"));
        EXPECT_TRUE(logged("Lighting: present"));
        ShutdownGraphics(e);
        EXPECT_EQ(e.gfx->Device(), nullptr);
    }
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
