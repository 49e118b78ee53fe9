#pragma once
// The host shell on SDL2: frmHostFull is a desktop full-screen window,
// frmHostWnd a plain window, both created with SDL_WINDOW_OPENGL (the GL
// device renders into them) after asking for 8-bit RGB, a 24-bit depth and
// an 8-bit stencil buffer, double-buffered.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Host.h"

namespace rdv {

// Initialises SDL's event subsystem at once, so that SIGTERM and SIGINT
// become quit requests that the pump hands to the unload handler.
std::shared_ptr<IHost> CreateSDLHost();

// True when SDL cannot show anything to a person: the offscreen and dummy
// video drivers (named by SDL_VIDEODRIVER or in use).
bool HeadlessVideoDriver();

// Asks SDL for the buffers of the game's windows (8-bit RGB, 24-bit depth,
// 8-bit stencil, double-buffered) for the next SDL_CreateWindow. A window
// made the same way lets the GL device draw straight into it.
void RequestGameWindowBuffers();

// Holds a loop to one tick per refresh period. Each Pace() sleeps out what
// is left of the period since the last tick; a tick that took the period
// already (presenting waited for the refresh, or the frame was slow)
// sleeps not at all. Oversleeping is made up at the next tick, so the
// rate stays at the refresh rate rather than a little under it; a late tick
// starts the count again rather than hurrying the ones after it.
class FramePacer {
public:
    using Now = std::function<uint64_t()>;            // microseconds, monotonic
    using Sleep = std::function<void(uint64_t)>;      // microseconds
    FramePacer(Now now, Sleep sleep) : now_(std::move(now)), sleep_(std::move(sleep)) {}

    void SetRefreshRate(int hertz) { periodUs_ = RefreshPeriodUs(hertz); }
    uint64_t PeriodUs() const { return periodUs_; }
    void Pace();

    // The period of a refresh rate in microseconds; 60 Hz when the rate is
    // unknown (0) or not believable.
    static uint64_t RefreshPeriodUs(int hertz);
    // A tick this close to the period counts as having waited for the
    // refresh itself (vsync): sleeping more would miss the next one.
    static constexpr uint64_t kSlackUs = 1000;

private:
    Now now_;
    Sleep sleep_;
    uint64_t periodUs_ = RefreshPeriodUs(0);
    uint64_t last_ = 0;
    bool started_ = false;
};

// What a message box answers when it cannot be shown: its default button.
MsgResult DefaultAnswer(MsgButtons buttons, int defaultButton);

// Rasterises `text` in the host font (DejaVu Sans) at `pixelHeight`: an
// 8-bit coverage image, top row first. False when no font can be read.
struct TextImage {
    int width = 0, height = 0;
    std::vector<unsigned char> coverage;
};
bool RenderHostText(const std::string& text, int pixelHeight, TextImage& image);

} // namespace rdv
