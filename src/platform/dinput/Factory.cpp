// DirectInput 8 on SDL2. An event watch sees every event as SDL queues it
// (whoever pumps the queue), so the key table, mouse motion, wheel, buttons
// and window focus are kept here without consuming the engine's events.
#include <SDL.h>

#include <algorithm>
#include <array>
#include <set>

#include "platform/dinput/DInput8.h"
#include "platform/dinput/Factory.h"

namespace rdv {

namespace {

class SdlDevice;

class SdlInputHub {
public:
    SdlInputHub() {
        ok_ = SDL_InitSubSystem(SDL_INIT_EVENTS) == 0;
        if (ok_) SDL_AddEventWatch(&SdlInputHub::Watch, this);
    }
    ~SdlInputHub() {
        if (!ok_) return;
        SDL_DelEventWatch(&SdlInputHub::Watch, this);
        SDL_QuitSubSystem(SDL_INIT_EVENTS);
    }
    SdlInputHub(const SdlInputHub&) = delete;
    SdlInputHub& operator=(const SdlInputHub&) = delete;

    bool Ok() const { return ok_; }

    // The window whose focus gates the devices; null = any window of ours.
    void SetWindow(SDL_Window* window) {
        // Always re-read: after a reboot a new window may reuse the old address.
        windowId_ = window ? SDL_GetWindowID(window) : 0;
        if (window)
            focused_ = (SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS) != 0;
        else
            focused_ = SDL_GetKeyboardFocus() != nullptr;
    }

    bool Focused() const { return focused_; }
    void Register(SdlDevice* d) { devices_.insert(d); }
    void Unregister(SdlDevice* d) { devices_.erase(d); }
    void UpdateRelativeMode();

    std::array<uint8_t, 256> keys{};
    int32_t dx = 0, dy = 0, dz = 0;
    uint8_t buttons[4] = {0, 0, 0, 0};

private:
    static int Watch(void* self, SDL_Event* e) {
        static_cast<SdlInputHub*>(self)->OnEvent(*e);
        return 1;
    }
    bool Ours(uint32_t windowId) const { return windowId_ == 0 || windowId == 0 || windowId == windowId_; }
    void OnEvent(const SDL_Event& e);
    void FocusLost();

    bool ok_ = false;
    uint32_t windowId_ = 0;
    bool focused_ = false;
    bool relative_ = false;
    std::set<SdlDevice*> devices_;
};

class SdlDevice final : public IDirectInputDevice8 {
public:
    SdlDevice(std::shared_ptr<SdlInputHub> hub, DIDeviceGuid kind) : hub_(std::move(hub)), kind_(kind) {
        hub_->Register(this);
    }
    ~SdlDevice() override {
        acquired_ = false;
        hub_->UpdateRelativeMode();
        hub_->Unregister(this);
    }

    HRESULT SetDataFormat(DIDataFormat format) override {
        if (acquired_) return DIERR_ACQUIRED;
        const bool matches = (kind_ == GUID_SysKeyboard) == (format == c_dfDIKeyboard);
        if (!matches) return DIERR_INVALIDPARAM;
        formatSet_ = true;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(SDL_Window* window, uint32_t flags) override {
        if (acquired_) return DIERR_ACQUIRED;
        const bool excl = flags & DISCL_EXCLUSIVE, nonexcl = flags & DISCL_NONEXCLUSIVE;
        const bool fg = flags & DISCL_FOREGROUND, bg = flags & DISCL_BACKGROUND;
        if (excl == nonexcl || fg == bg) return DIERR_INVALIDPARAM;
        // An exclusive keyboard is refused in the background, as DirectInput does.
        if (kind_ == GUID_SysKeyboard && excl && bg) return DIERR_UNSUPPORTED;
        flags_ = flags;
        hub_->SetWindow(window);
        return DI_OK;
    }

    HRESULT Acquire() override {
        if (!formatSet_) return DIERR_INVALIDPARAM;
        if (acquired_) return DI_NOEFFECT;
        acquired_ = true;
        lost_ = false;
        if (kind_ == GUID_SysMouse) {
            // Motion made before acquisition does not count.
            hub_->dx = hub_->dy = hub_->dz = 0;
        }
        hub_->UpdateRelativeMode();
        return DI_OK;
    }

    HRESULT Unacquire() override {
        if (!acquired_) return DI_NOEFFECT;
        acquired_ = false;
        hub_->UpdateRelativeMode();
        return DI_OK;
    }

    HRESULT GetDeviceState(uint32_t size, void* data) override {
        if (!data) return DIERR_INVALIDPARAM;
        if (!acquired_) {
            if (lost_) {
                lost_ = false;
                return DIERR_INPUTLOST;
            }
            return DIERR_NOTACQUIRED;
        }
        if ((flags_ & DISCL_FOREGROUND) && !hub_->Focused()) return DIERR_NOTACQUIRED;
        if (kind_ == GUID_SysKeyboard) {
            if (size != kKeyboardStateSize) return DIERR_INVALIDPARAM;
            std::copy(hub_->keys.begin(), hub_->keys.end(), static_cast<uint8_t*>(data));
            return DI_OK;
        }
        if (size != sizeof(DIMOUSESTATE)) return DIERR_INVALIDPARAM;
        DIMOUSESTATE s;
        s.lX = hub_->dx;
        s.lY = hub_->dy;
        s.lZ = hub_->dz;
        std::copy(std::begin(hub_->buttons), std::end(hub_->buttons), s.rgbButtons);
        hub_->dx = hub_->dy = hub_->dz = 0;
        *static_cast<DIMOUSESTATE*>(data) = s;
        return DI_OK;
    }

    // Focus went away: foreground devices lose their acquisition.
    void FocusLost() {
        if (acquired_ && (flags_ & DISCL_FOREGROUND)) {
            acquired_ = false;
            lost_ = true;
        }
    }

    bool WantsRelative() const {
        return kind_ == GUID_SysMouse && acquired_ && (flags_ & DISCL_EXCLUSIVE);
    }

private:
    std::shared_ptr<SdlInputHub> hub_;
    DIDeviceGuid kind_;
    bool formatSet_ = false;
    uint32_t flags_ = 0;
    bool acquired_ = false;
    bool lost_ = false;
};

void SdlInputHub::UpdateRelativeMode() {
    bool want = false;
    for (auto* d : devices_) want = want || d->WantsRelative();
    want = want && focused_;
    if (want == relative_) return;
    relative_ = want;
    // Without a video driver that supports it (offscreen), this fails quietly.
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_SetRelativeMouseMode(want ? SDL_TRUE : SDL_FALSE);
}

void SdlInputHub::FocusLost() {
    focused_ = false;
    keys.fill(0);
    std::fill(std::begin(buttons), std::end(buttons), uint8_t{0});
    dx = dy = dz = 0;
    for (auto* d : devices_) d->FocusLost();
    UpdateRelativeMode();
}

void SdlInputHub::OnEvent(const SDL_Event& e) {
    switch (e.type) {
    case SDL_WINDOWEVENT:
        if (!Ours(e.window.windowID)) break;
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
            focused_ = true;
            UpdateRelativeMode();
        } else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            FocusLost();
        }
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (!Ours(e.key.windowID)) break;
        if (uint8_t code = SdlScancodeToDik(e.key.keysym.scancode))
            keys[code] = e.type == SDL_KEYDOWN ? 0x80 : 0;
        break;
    case SDL_MOUSEMOTION:
        if (!Ours(e.motion.windowID)) break;
        dx += e.motion.xrel;
        dy += e.motion.yrel;
        break;
    case SDL_MOUSEWHEEL: {
        if (!Ours(e.wheel.windowID)) break;
        int32_t y = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        dz += y * kWheelDelta;
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        if (!Ours(e.button.windowID)) break;
        int index = -1;
        switch (e.button.button) {
        case SDL_BUTTON_LEFT: index = 0; break;
        case SDL_BUTTON_RIGHT: index = 1; break;
        case SDL_BUTTON_MIDDLE: index = 2; break;
        case SDL_BUTTON_X1: index = 3; break;
        default: break;
        }
        if (index >= 0) buttons[index] = e.type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0;
        break;
    }
    default: break;
    }
}

class SdlDirectInput final : public IDirectInput8 {
public:
    explicit SdlDirectInput(std::shared_ptr<SdlInputHub> hub) : hub_(std::move(hub)) {}
    HRESULT CreateDevice(DIDeviceGuid guid, std::shared_ptr<IDirectInputDevice8>& device) override {
        if (guid != GUID_SysKeyboard && guid != GUID_SysMouse) return DIERR_DEVICENOTREG;
        device = std::make_shared<SdlDevice>(hub_, guid);
        return DI_OK;
    }

private:
    std::shared_ptr<SdlInputHub> hub_;
};

} // namespace

std::shared_ptr<IDirectInput8> CreateSDLDirectInput8() {
    auto hub = std::make_shared<SdlInputHub>();
    if (!hub->Ok()) return nullptr;
    return std::make_shared<SdlDirectInput>(hub);
}

} // namespace rdv
