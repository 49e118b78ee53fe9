// DirectInput 8 on SDL2. An event watch sees every event as SDL queues it
// (whoever pumps the queue), so the key table, mouse motion, wheel, buttons
// and window focus are kept here without consuming the engine's events.
// Pads are SDL game controllers (the usual layout whatever the make),
// opened as they are plugged in.
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
        if (!ok_) return;
        // Focus gates the pads here, as it gates the keyboard, so SDL need not.
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        padsOk_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
        SDL_AddEventWatch(&SdlInputHub::Watch, this);
    }
    ~SdlInputHub() {
        if (!ok_) return;
        SDL_DelEventWatch(&SdlInputHub::Watch, this);
        for (PadSlot& pad : pads) ClosePad(pad);
        if (padsOk_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
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

    // Held now, and pressed since the last read: a press and release that
    // both fall between two reads still reads as down once.
    std::array<uint8_t, 256> keys{};
    std::array<uint8_t, 256> keysPressed{};
    int32_t dx = 0, dy = 0, dz = 0;
    uint8_t buttons[4] = {0, 0, 0, 0};
    uint8_t buttonsPressed[4] = {0, 0, 0, 0};

    // The pad in a slot (0 or 1), or false when the slot is empty.
    bool ReadPad(int slot, DIJOYSTATE& state);

private:
    struct PadSlot {
        SDL_GameController* controller = nullptr;
        SDL_JoystickID id = -1;
        std::array<uint8_t, joy::BUTTONS> pressed{};
    };
    static void ClosePad(PadSlot& pad) {
        if (pad.controller) SDL_GameControllerClose(pad.controller);
        pad = PadSlot{};
    }
    // Closes pads that went away and opens new ones into free slots.
    void SyncPads();

    PadSlot pads[2];
    bool padsOk_ = false;
    bool padsChanged_ = true;

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
        if (format != FormatOf(kind_)) return DIERR_INVALIDPARAM;
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
            // Motion and presses made before acquisition do not count.
            hub_->dx = hub_->dy = hub_->dz = 0;
            std::fill(std::begin(hub_->buttonsPressed), std::end(hub_->buttonsPressed), uint8_t{0});
        } else if (kind_ == GUID_SysKeyboard) {
            hub_->keysPressed.fill(0);
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
        if (IsJoystick(kind_)) {
            if (size != sizeof(DIJOYSTATE)) return DIERR_INVALIDPARAM;
            DIJOYSTATE pad;
            if (!hub_->ReadPad(kind_ == GUID_Joystick1 ? 0 : 1, pad)) return DIERR_UNPLUGGED;
            *static_cast<DIJOYSTATE*>(data) = pad;
            return DI_OK;
        }
        if (kind_ == GUID_SysKeyboard) {
            if (size != kKeyboardStateSize) return DIERR_INVALIDPARAM;
            auto* out = static_cast<uint8_t*>(data);
            for (size_t i = 0; i < kKeyboardStateSize; ++i) out[i] = hub_->keys[i] | hub_->keysPressed[i];
            hub_->keysPressed.fill(0);
            return DI_OK;
        }
        if (size != sizeof(DIMOUSESTATE)) return DIERR_INVALIDPARAM;
        DIMOUSESTATE s;
        s.lX = hub_->dx;
        s.lY = hub_->dy;
        s.lZ = hub_->dz;
        for (int i = 0; i < 4; ++i) {
            s.rgbButtons[i] = hub_->buttons[i] | hub_->buttonsPressed[i];
            hub_->buttonsPressed[i] = 0;
        }
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
    keysPressed.fill(0);
    std::fill(std::begin(buttons), std::end(buttons), uint8_t{0});
    std::fill(std::begin(buttonsPressed), std::end(buttonsPressed), uint8_t{0});
    dx = dy = dz = 0;
    for (PadSlot& pad : pads) pad.pressed.fill(0);
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
        if (uint8_t code = SdlScancodeToDik(e.key.keysym.scancode)) {
            keys[code] = e.type == SDL_KEYDOWN ? 0x80 : 0;
            if (e.type == SDL_KEYDOWN) keysPressed[code] = 0x80;
        }
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
    case SDL_CONTROLLERDEVICEADDED:
    case SDL_CONTROLLERDEVICEREMOVED:
    case SDL_JOYDEVICEADDED:
    case SDL_JOYDEVICEREMOVED:
        padsChanged_ = true;
        break;
    case SDL_CONTROLLERBUTTONDOWN:
        for (PadSlot& pad : pads)
            if (pad.controller && pad.id == e.cbutton.which && e.cbutton.button < joy::BUTTONS)
                pad.pressed[e.cbutton.button] = 0x80;
        break;
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
        if (index >= 0) {
            buttons[index] = e.type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0;
            if (e.type == SDL_MOUSEBUTTONDOWN) buttonsPressed[index] = 0x80;
        }
        break;
    }
    default: break;
    }
}

void SdlInputHub::SyncPads() {
    if (!padsOk_ || !padsChanged_) return;
    padsChanged_ = false;
    for (PadSlot& pad : pads)
        if (pad.controller && !SDL_GameControllerGetAttached(pad.controller)) ClosePad(pad);
    const int count = SDL_NumJoysticks();
    for (int index = 0; index < count; ++index) {
        if (!SDL_IsGameController(index)) continue;
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
        bool open = false;
        for (const PadSlot& pad : pads) open = open || (pad.controller && pad.id == id);
        if (open) continue;
        for (PadSlot& pad : pads) {
            if (pad.controller) continue;
            pad.controller = SDL_GameControllerOpen(index);
            if (pad.controller) pad.id = id;
            break;
        }
    }
}

bool SdlInputHub::ReadPad(int slot, DIJOYSTATE& state) {
    SyncPads();
    PadSlot& pad = pads[slot];
    if (!pad.controller) return false;
    SDL_GameController* c = pad.controller;
    auto axis = [c](SDL_GameControllerAxis a) {
        const int v = SDL_GameControllerGetAxis(c, a);
        return static_cast<int32_t>(std::clamp(v * kJoyAxisRange / 32767, -kJoyAxisRange, kJoyAxisRange));
    };
    state = DIJOYSTATE{};
    state.lX = axis(SDL_CONTROLLER_AXIS_LEFTX);
    state.lY = axis(SDL_CONTROLLER_AXIS_LEFTY);
    state.lRx = axis(SDL_CONTROLLER_AXIS_RIGHTX);
    state.lRy = axis(SDL_CONTROLLER_AXIS_RIGHTY);
    state.lZ = axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT);
    state.lRz = axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT);
    for (int b = 0; b < joy::BUTTONS; ++b) {
        const bool down = SDL_GameControllerGetButton(c, static_cast<SDL_GameControllerButton>(b)) != 0;
        state.rgbButtons[b] = (down ? 0x80 : 0) | pad.pressed[static_cast<size_t>(b)];
    }
    pad.pressed.fill(0);
    const int up = state.rgbButtons[joy::DPAD_UP] ? 1 : 0, down = state.rgbButtons[joy::DPAD_DOWN] ? 1 : 0;
    const int left = state.rgbButtons[joy::DPAD_LEFT] ? 1 : 0, right = state.rgbButtons[joy::DPAD_RIGHT] ? 1 : 0;
    const int x = right - left, y = down - up;
    if (x != 0 || y != 0) {
        // Clockwise from up in eighths: up, up-right, right ... up-left.
        static const uint32_t kPov[3][3] = {{31500, 0, 4500}, {27000, kPovCentred, 9000}, {22500, 18000, 13500}};
        state.rgdwPOV[0] = kPov[y + 1][x + 1];
    }
    return true;
}

class SdlDirectInput final : public IDirectInput8 {
public:
    explicit SdlDirectInput(std::shared_ptr<SdlInputHub> hub) : hub_(std::move(hub)) {}
    HRESULT CreateDevice(DIDeviceGuid guid, std::shared_ptr<IDirectInputDevice8>& device) override {
        if (guid != GUID_SysKeyboard && guid != GUID_SysMouse && !IsJoystick(guid)) return DIERR_DEVICENOTREG;
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
