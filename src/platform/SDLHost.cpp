#include "platform/SDLHost.h"

#include <SDL.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include "platform/FileSearch.h"
#include "platform/LinuxSystem.h"

#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb_truetype.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace rdv {

namespace {

constexpr const char* kWindowTitle = "Rondovar II";
constexpr const char* kLoadingText = "Loading...";
constexpr int kLoadingPixelHeight = 16;
// The forms' colours: black text on the light grey of a dialog face.
constexpr unsigned char kBack[3] = {212, 208, 200};
constexpr unsigned char kFore[3] = {0, 0, 0};

const char* const kFontFiles[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/TTF/DejaVuSans.ttf",
};

// Read when the loading text is drawn and dropped after: the font file is
// bigger than the text, which is drawn only while the game starts.
std::vector<unsigned char> FontBytes() {
    for (const char* path : kFontFiles) {
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        if (!in) continue;
        const std::streamoff size = in.tellg();
        if (size <= 0) continue;
        std::vector<unsigned char> data(static_cast<size_t>(size));
        in.seekg(0);
        if (in.read(reinterpret_cast<char*>(data.data()), size)) return data;
    }
    return {};
}

// The few GL 1.x calls DispLoad makes, looked up through SDL so that the
// platform library does not link GL itself.
struct LoadingGL {
    void(*Viewport)(int, int, int, int) = nullptr;
    void(*ClearColor)(float, float, float, float) = nullptr;
    void(*Clear)(unsigned) = nullptr;
    void(*PixelStorei)(unsigned, int) = nullptr;
    void(*WindowPos2i)(int, int) = nullptr;
    void(*DrawPixels)(int, int, unsigned, unsigned, const void*) = nullptr;
    void(*Finish)() = nullptr;

    bool Load() {
        Viewport = reinterpret_cast<decltype(Viewport)>(SDL_GL_GetProcAddress("glViewport"));
        ClearColor = reinterpret_cast<decltype(ClearColor)>(SDL_GL_GetProcAddress("glClearColor"));
        Clear = reinterpret_cast<decltype(Clear)>(SDL_GL_GetProcAddress("glClear"));
        PixelStorei = reinterpret_cast<decltype(PixelStorei)>(SDL_GL_GetProcAddress("glPixelStorei"));
        WindowPos2i = reinterpret_cast<decltype(WindowPos2i)>(SDL_GL_GetProcAddress("glWindowPos2i"));
        DrawPixels = reinterpret_cast<decltype(DrawPixels)>(SDL_GL_GetProcAddress("glDrawPixels"));
        Finish = reinterpret_cast<decltype(Finish)>(SDL_GL_GetProcAddress("glFinish"));
        return Viewport && ClearColor && Clear && PixelStorei && DrawPixels && Finish;
    }
};

constexpr unsigned kGlColorBufferBit = 0x4000;
constexpr unsigned kGlUnpackAlignment = 0x0CF5;
constexpr unsigned kGlRgba = 0x1908;
constexpr unsigned kGlUnsignedByte = 0x1401;

class SDLHost final : public IHost {
public:
    SDLHost() {
        if (SDL_InitSubSystem(SDL_INIT_EVENTS) == 0) {
            events_ = true;
            SDL_AddEventWatch(&SDLHost::Watch, this);
        }
    }

    ~SDLHost() override {
        for (auto& w : windows_) {
            if (w) SDL_DestroyWindow(w);
            w = nullptr;
        }
        if (events_) {
            SDL_DelEventWatch(&SDLHost::Watch, this);
            SDL_QuitSubSystem(SDL_INIT_EVENTS);
        }
        if (video_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    SDL_Window* Show(HostForm form, int width, int height) override {
        SDL_Window*& w = windows_[Index(form)];
        if (!w) {
            if (!video_) {
                errno = 0;  // so the code below belongs to this failure
                if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
                    // SDL gives a text only; errno is the system's code behind it.
                    const int32_t code = static_cast<int32_t>(errno);
                    throw HostError("frmHost.Show", std::string("No display to open a window on: ") + SDL_GetError(),
                                    code);
                }
                video_ = true;
            }
            if (width <= 0 || height <= 0) {
                width = 640;
                height = 480;
            }
            RequestGameWindowBuffers();
            Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
            if (form == HostForm::Full) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
            errno = 0;
            w = SDL_CreateWindow(kWindowTitle, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags);
            if (!w) {
                const int32_t code = static_cast<int32_t>(errno);
                throw HostError("frmHost.Show", std::string("Could not create the host window: ") + SDL_GetError(),
                                code);
            }
        }
        SDL_ShowWindow(w);
        SDL_RaiseWindow(w);
        return w;
    }

    bool Loaded(HostForm form) const override { return windows_[Index(form)] != nullptr; }
    SDL_Window* Window(HostForm form) const override { return windows_[Index(form)]; }

    void DispLoad(HostForm form) override {
        SDL_Window* w = windows_[Index(form)];
        if (!w) return;
        // A context of our own, gone again before the device makes its own.
        SDL_GLContext previous = SDL_GL_GetCurrentContext();
        SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
        SDL_GLContext context = SDL_GL_CreateContext(w);
        if (!context) return;
        LoadingGL gl;
        if (gl.Load()) {
            int width = 0, height = 0;
            SDL_GL_GetDrawableSize(w, &width, &height);
            gl.Viewport(0, 0, width, height);
            gl.ClearColor(kBack[0] / 255.0f, kBack[1] / 255.0f, kBack[2] / 255.0f, 1.0f);
            gl.Clear(kGlColorBufferBit);
            TextImage text;
            if (gl.WindowPos2i && RenderHostText(kLoadingText, kLoadingPixelHeight, text)) {
                int x = (width - text.width) / 2;
                int y = (height - text.height) / 2;
                // Rows bottom-up for GL, text blended over the face colour.
                std::vector<unsigned char> pixels(static_cast<size_t>(text.width) * text.height * 4);
                for (int row = 0; row < text.height; ++row) {
                    for (int col = 0; col < text.width; ++col) {
                        unsigned a = text.coverage[static_cast<size_t>(row) * text.width + col];
                        unsigned char* p =
                            &pixels[(static_cast<size_t>(text.height - 1 - row) * text.width + col) * 4];
                        for (int c = 0; c < 3; ++c) p[c] = static_cast<unsigned char>((kFore[c] * a + kBack[c] * (255 - a)) / 255);
                        p[3] = 255;
                    }
                }
                // Clipped to the window: a text wider than it is not drawn.
                if (x >= 0 && y >= 0) {
                    gl.PixelStorei(kGlUnpackAlignment, 1);
                    gl.WindowPos2i(x, height - y - text.height);
                    gl.DrawPixels(text.width, text.height, kGlRgba, kGlUnsignedByte, pixels.data());
                }
            }
            gl.Finish();
            SDL_GL_SwapWindow(w);
        }
        SDL_GL_MakeCurrent(w, nullptr);
        SDL_GL_DeleteContext(context);
        if (previous && previousWindow) SDL_GL_MakeCurrent(previousWindow, previous);
    }

    void Unload(HostForm form) override { RequestUnload(Index(form), false); }

    void SetUnloadHandler(UnloadHandler handler) override { handler_ = std::move(handler); }

    void DoEvents() override {
        if (!events_) return;
        SDL_PumpEvents();
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
        }
        std::vector<Uint32> requests;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests.swap(pending_);
        }
        std::vector<Uint32> deferred;
        for (Uint32 id : requests) {
            bool done = true;
            if (id == kQuitRequest) {
                done = RequestUnload(0, true) & RequestUnload(1, true);
            } else {
                for (int i = 0; i < 2; ++i) {
                    if (windows_[i] && SDL_GetWindowID(windows_[i]) == id) done = RequestUnload(i, true);
                }
            }
            if (!done) deferred.push_back(id);
        }
        if (!deferred.empty()) {
            std::lock_guard<std::mutex> lock(mutex_);
            pending_.insert(pending_.begin(), deferred.begin(), deferred.end());
        }
    }

    void MoveWindow(HostForm form, int x, int y, int width, int height) override {
        SDL_Window* w = windows_[Index(form)];
        if (!w) return;
        SDL_SetWindowPosition(w, x, y);
        if (width > 0 && height > 0) SDL_SetWindowSize(w, width, height);
    }

    void GetClientSize(HostForm form, int& width, int& height) const override {
        width = height = 0;
        if (SDL_Window* w = windows_[Index(form)]) SDL_GL_GetDrawableSize(w, &width, &height);
    }

    void SetForeground(HostForm form) override {
        if (SDL_Window* w = windows_[Index(form)]) SDL_RaiseWindow(w);
    }

    bool IsForeground(HostForm form) const override {
        SDL_Window* w = windows_[Index(form)];
        if (!w) return false;
        // Headless drivers never report focus; the window counts as in front.
        if (HeadlessVideoDriver()) return true;
        return (SDL_GetWindowFlags(w) & SDL_WINDOW_INPUT_FOCUS) != 0;
    }

    MsgResult MessageBox(const std::string& text, const std::string& title, MsgButtons buttons, MsgIcon icon,
                         int defaultButton) override {
        if (!HeadlessVideoDriver()) {
            SDL_MessageBoxButtonData data[2] = {};
            int count = 0;
            if (buttons == MsgButtons::OK) {
                data[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                           int(MsgResult::OK), "OK"};
                count = 1;
            } else {
                Uint32 yesFlags = defaultButton == 2 ? 0 : SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
                Uint32 noFlags = SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT |
                                 (defaultButton == 2 ? SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT : 0);
                data[0] = {yesFlags, int(MsgResult::Yes), "Yes"};
                data[1] = {noFlags, int(MsgResult::No), "No"};
                count = 2;
            }
            Uint32 flags = icon == MsgIcon::Critical      ? SDL_MESSAGEBOX_ERROR
                           : icon == MsgIcon::Exclamation ? SDL_MESSAGEBOX_WARNING
                                                          : SDL_MESSAGEBOX_INFORMATION;
            SDL_Window* parent = windows_[1] ? windows_[1] : windows_[0];
            SDL_MessageBoxData box{flags, parent, title.c_str(), text.c_str(), count, data, nullptr};
            int pressed = -1;
            if (SDL_ShowMessageBox(&box, &pressed) == 0 && pressed >= 0) return static_cast<MsgResult>(pressed);
        }
        std::fprintf(stderr, "%s\n%s\n", title.c_str(), text.c_str());
        return DefaultAnswer(buttons, defaultButton);
    }

    void PaceFrame() override {
        // Headless runs (tests, tools, benchmarks) go as fast as they can.
        if (HeadlessVideoDriver()) return;
        SDL_Window* w = windows_[1] ? windows_[1] : windows_[0];
        if (!w) return;
        if (w != pacedWindow_) {
            pacedWindow_ = w;
            SDL_DisplayMode mode;
            const int display = SDL_GetWindowDisplayIndex(w);
            pacer_.SetRefreshRate(display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 ? mode.refresh_rate
                                                                                                : 0);
        }
        // Present in step with the display, windowed too, where the driver
        // lets us; asked again for a new context or after a device reset.
        if (SDL_GLContext context = SDL_GL_GetCurrentContext()) {
            if (context != vsyncContext_) {
                vsyncContext_ = context;
                vsyncRefused_ = false;
            }
            if (!vsyncRefused_ && SDL_GL_GetSwapInterval() == 0) vsyncRefused_ = SDL_GL_SetSwapInterval(1) != 0;
        }
        pacer_.Pace();
    }

    SystemInfo GetSystemInfo() const override { return ReadSystemInfo(); }
    OSVersionInfo GetVersion() const override { return ReadVersion(); }

private:
    static constexpr Uint32 kQuitRequest = 0;  // SDL window ids start at 1

    static int Index(HostForm form) { return form == HostForm::Full ? 0 : 1; }

    // Sees every event as it is queued, whoever drains the queue.
    static int SDLCALL Watch(void* self, SDL_Event* e) {
        auto* host = static_cast<SDLHost*>(self);
        if (e->type == SDL_QUIT) {
            std::lock_guard<std::mutex> lock(host->mutex_);
            host->pending_.push_back(kQuitRequest);
        } else if (e->type == SDL_WINDOWEVENT && e->window.event == SDL_WINDOWEVENT_CLOSE) {
            std::lock_guard<std::mutex> lock(host->mutex_);
            host->pending_.push_back(e->window.windowID);
        }
        return 1;
    }

    // False when the handler deferred a close request.
    bool RequestUnload(int index, bool closeRequest) {
        if (!windows_[index]) return true;
        UnloadRequest request{index == 0 ? HostForm::Full : HostForm::Windowed, closeRequest};
        if (handler_) handler_(request);
        if (closeRequest && request.defer) return false;
        if (request.cancel || !windows_[index]) return true;
        SDL_DestroyWindow(windows_[index]);
        windows_[index] = nullptr;
        return true;
    }

    SDL_Window* windows_[2] = {nullptr, nullptr};
    bool events_ = false;
    bool video_ = false;
    UnloadHandler handler_;
    std::mutex mutex_;
    std::vector<Uint32> pending_;
    FramePacer pacer_{[] {
                          return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                                           std::chrono::steady_clock::now().time_since_epoch())
                                                           .count());
                      },
                      [](uint64_t us) { std::this_thread::sleep_for(std::chrono::microseconds(us)); }};
    SDL_Window* pacedWindow_ = nullptr;
    SDL_GLContext vsyncContext_ = nullptr;
    bool vsyncRefused_ = false;
};

}  // namespace

uint64_t FramePacer::RefreshPeriodUs(int hertz) {
    if (hertz < 20 || hertz > 1000) hertz = 60;
    return 1000000u / static_cast<uint64_t>(hertz);
}

void FramePacer::Pace() {
    const uint64_t now = now_();
    if (!started_) {
        started_ = true;
        last_ = now;
        return;
    }
    const uint64_t due = last_ + periodUs_;
    if (now + kSlackUs < due) {
        sleep_(due - now);
        last_ = due;
    } else {
        last_ = now;
    }
}

void RequestGameWindowBuffers() {
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
}

bool HeadlessVideoDriver() {
    const char* driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : nullptr;
    if (!driver) driver = SDL_getenv("SDL_VIDEODRIVER");
    if (!driver) return false;
    return EqualsNoCase(driver, "offscreen") || EqualsNoCase(driver, "dummy");
}

MsgResult DefaultAnswer(MsgButtons buttons, int defaultButton) {
    if (buttons == MsgButtons::OK) return MsgResult::OK;
    return defaultButton == 2 ? MsgResult::No : MsgResult::Yes;
}

bool RenderHostText(const std::string& text, int pixelHeight, TextImage& image) {
    const std::vector<unsigned char> font = FontBytes();
    if (font.empty()) return false;
    stbtt_fontinfo info;
    if (!stbtt_InitFont(&info, font.data(), stbtt_GetFontOffsetForIndex(font.data(), 0))) return false;
    float scale = stbtt_ScaleForPixelHeight(&info, static_cast<float>(pixelHeight));
    int ascent = 0, descent = 0, lineGap = 0;
    stbtt_GetFontVMetrics(&info, &ascent, &descent, &lineGap);
    int baseline = static_cast<int>(ascent * scale + 0.5f);
    int height = static_cast<int>((ascent - descent) * scale + 0.5f);
    // Width: advances plus kerning, in whole pixels.
    float pen = 0.0f;
    for (size_t i = 0; i < text.size(); ++i) {
        int cp = static_cast<unsigned char>(text[i]);
        int advance = 0, bearing = 0;
        stbtt_GetCodepointHMetrics(&info, cp, &advance, &bearing);
        pen += advance * scale;
        if (i + 1 < text.size())
            pen += scale * stbtt_GetCodepointKernAdvance(&info, cp, static_cast<unsigned char>(text[i + 1]));
    }
    image.width = static_cast<int>(pen + 0.999f);
    image.height = height;
    image.coverage.assign(static_cast<size_t>(image.width) * image.height, 0);
    if (image.width <= 0 || image.height <= 0) return false;
    pen = 0.0f;
    for (size_t i = 0; i < text.size(); ++i) {
        int cp = static_cast<unsigned char>(text[i]);
        int x0, y0, x1, y1;
        stbtt_GetCodepointBitmapBox(&info, cp, scale, scale, &x0, &y0, &x1, &y1);
        int gw = x1 - x0, gh = y1 - y0;
        if (gw > 0 && gh > 0) {
            std::vector<unsigned char> glyph(static_cast<size_t>(gw) * gh);
            stbtt_MakeCodepointBitmap(&info, glyph.data(), gw, gh, gw, scale, scale, cp);
            int ox = static_cast<int>(pen) + x0;
            int oy = baseline + y0;
            for (int r = 0; r < gh; ++r) {
                for (int c = 0; c < gw; ++c) {
                    int px = ox + c, py = oy + r;
                    if (px < 0 || py < 0 || px >= image.width || py >= image.height) continue;
                    unsigned char& dst = image.coverage[static_cast<size_t>(py) * image.width + px];
                    unsigned sum = dst + glyph[static_cast<size_t>(r) * gw + c];
                    dst = static_cast<unsigned char>(sum > 255 ? 255 : sum);
                }
            }
        }
        int advance = 0, bearing = 0;
        stbtt_GetCodepointHMetrics(&info, cp, &advance, &bearing);
        pen += advance * scale;
        if (i + 1 < text.size())
            pen += scale * stbtt_GetCodepointKernAdvance(&info, cp, static_cast<unsigned char>(text[i + 1]));
    }
    return true;
}

std::shared_ptr<IHost> CreateSDLHost() { return std::make_shared<SDLHost>(); }

} // namespace rdv
