#pragma once
// The host shell on SDL2: frmHostFull is a desktop full-screen window,
// frmHostWnd a plain window, both created with SDL_WINDOW_OPENGL (the GL
// device renders into them) after asking for 8-bit RGB, a 24-bit depth and
// an 8-bit stencil buffer, double-buffered.
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
