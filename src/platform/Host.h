#pragma once
// The host shell: the two host windows, the pending-message pump, message
// boxes and the facts about the machine. SDLHost is the real one;
// HeadlessHost (platform/HeadlessHost.h) scripts it for tests.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

struct SDL_Window;

namespace rdv {

// The two host forms: frmHostFull (desktop full-screen) and frmHostWnd.
enum class HostForm : int { Full = 0, Windowed = 1 };

enum class MsgButtons { OK, YesNo };
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgResult { OK, Yes, No };

// What the processor query answers. processorType uses the platform's own
// numbers (386, 486, 586, 8664 for x86-64, ...).
struct SystemInfo {
    uint32_t processorType = 0;
    uint32_t processorCount = 0;
};

// The operating-system version record. Windows records leave systemName
// empty and are named by their platform id; other systems fill systemName
// ("Linux"), release (the kernel release) and csdVersion (the build text).
struct OSVersionInfo {
    uint32_t majorVersion = 0;
    uint32_t minorVersion = 0;
    uint32_t buildNumber = 0;
    uint32_t platformId = 0;
    std::string csdVersion;  // may hold NULs; only the text before the first counts
    std::string systemName;
    std::string release;
};

// A failure of the host itself (no display to open a window on, no window):
// the step that failed, the system's text and its error code (errno, read
// at the failure). The platform knows no engine errors; core turns this
// into its device error (core/HostForms.h, HostFailure).
class HostError : public std::runtime_error {
public:
    HostError(std::string source, std::string description, int32_t code)
        : std::runtime_error(source + ": " + description),
          source(std::move(source)), description(std::move(description)), code(code) {}

    std::string source;
    std::string description;
    int32_t code;
};

class IHost {
public:
    virtual ~IHost() = default;

    // Loads the form if needed and shows it; width/height is the size a new
    // window gets (0 picks 640 x 480). Returns the window (null in tests).
    // A window that cannot be made throws HostError.
    virtual SDL_Window* Show(HostForm form, int width, int height) = 0;
    virtual bool Loaded(HostForm form) const = 0;
    virtual SDL_Window* Window(HostForm form) const = 0;
    // Paints "Loading..." centred in the form with its font and colours.
    virtual void DispLoad(HostForm form) = 0;
    // Unloads the form: the unload handler is asked first and may cancel.
    virtual void Unload(HostForm form) = 0;

    // Asked whenever a form is about to unload. `closeRequest` is true for a
    // request from outside (the window's close, SIGTERM, SIGINT, log-out)
    // and false for an Unload call. `cancel` keeps the form; `defer` (close
    // requests only) keeps the request pending for the next DoEvents.
    struct UnloadRequest {
        HostForm form;
        bool closeRequest = false;
        bool cancel = false;
        bool defer = false;
    };
    using UnloadHandler = std::function<void(UnloadRequest& request)>;
    virtual void SetUnloadHandler(UnloadHandler handler) = 0;

    // Processes the pending window messages. Close requests reach the
    // unload handler here. The SDL queue is drained: code that needs raw SDL
    // events should watch them with SDL_AddEventWatch.
    virtual void DoEvents() = 0;

    // Window placement and the inner (client) size in pixels.
    virtual void MoveWindow(HostForm form, int x, int y, int width, int height) = 0;
    virtual void GetClientSize(HostForm form, int& width, int& height) const = 0;
    virtual void SetForeground(HostForm form) = 0;
    virtual bool IsForeground(HostForm form) const = 0;

    // A modal box; defaultButton is 1 or 2. When no display can show it the
    // default button is the answer and title and text go to stderr.
    virtual MsgResult MessageBox(const std::string& text, const std::string& title, MsgButtons buttons,
                                 MsgIcon icon, int defaultButton) = 0;

    // Called by the main loop after each tick: holds the loop to the
    // display's refresh where presenting does not already wait for it.
    // Hosts that show nothing to a person return at once.
    virtual void PaceFrame() {}

    virtual SystemInfo GetSystemInfo() const = 0;
    virtual OSVersionInfo GetVersion() const = 0;
};

} // namespace rdv
