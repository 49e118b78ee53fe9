#include "input/Input.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>

#include "core/Engine.h"
#include "core/Error.h"
#include "platform/Clock.h"
#include "platform/Host.h"
#include "platform/dinput/Factory.h"

namespace rdv {

namespace {

constexpr uint32_t kStartDeadlineMs = 10000;
constexpr int kEscape = 0x01;
// A stick counts as pushed past half way; below a quarter it is at rest.
constexpr int32_t kStickPushed = kJoyAxisRange / 2;
constexpr int32_t kStickDeadZone = kJoyAxisRange / 4;
// The longest gap between polls the pad cursor moves for (a stall or a
// breakpoint must not fling it).
constexpr uint32_t kLongestPadStepMs = 100;
constexpr int32_t kAccessRefused = 70;

// The runtime's texts for the numbers a refused or malformed call maps to.
std::string ErrorDescription(HRESULT hr) {
    switch (InputErrorNumber(hr)) {
    case 5: return "Invalid procedure call or argument";
    case 7: return "Out of memory";
    case 70: return "Permission denied";
    case 430: return "Class does not support Automation or does not support expected interface";
    case 445: return "Object doesn't support this action";
    default: break;
    }
    std::string text = DIResultText(hr);
    return text.empty() ? "Automation error" : text;
}

// Default for refused access: bring the host window to the front and let
// its pending messages run.
void RaiseHostWindow(Engine& engine) {
    if (IHost* host = engine.platform.host.get()) {
        for (HostForm form : {HostForm::Full, HostForm::Windowed})
            if (host->Loaded(form) && host->Window(form) == engine.hostWindowHandle) host->SetForeground(form);
        host->DoEvents();
        return;
    }
    if (engine.hostWindowHandle) SDL_RaiseWindow(engine.hostWindowHandle);
    if (SDL_WasInit(SDL_INIT_EVENTS)) SDL_PumpEvents();
}

} // namespace

int32_t InputErrorNumber(HRESULT hr) {
    switch (hr) {
    case DIERR_OTHERAPPHASPRIO: return kAccessRefused;  // E_ACCESSDENIED
    case DIERR_INVALIDPARAM: return 5;                  // E_INVALIDARG
    case DIERR_OUTOFMEMORY: return 7;                   // E_OUTOFMEMORY
    case DIERR_NOINTERFACE: return 430;                 // E_NOINTERFACE
    case DIERR_UNSUPPORTED: return 445;                 // E_NOTIMPL
    default: return hr;
    }
}

inpControl::inpControl(Engine& engine) : bringToFront(RaiseHostWindow), engine_(engine) {}

inpControl::~inpControl() { StopInput(); }

void inpControl::StartInput() {
    engine_.log.Write("Starting Input...", 2);
    IClock* clock = engine_.platform.clock.get();
    SystemClock fallbackClock;
    if (!clock) clock = &fallbackClock;
    const uint32_t deadline = clock->GetTickCount() + kStartDeadlineMs;

    // Runs one step, retrying while access is refused and time is left.
    auto step = [&](auto&& call) {
        while (true) {
            HRESULT hr = call();
            if (DiSucceeded(hr)) return;
            const int32_t number = InputErrorNumber(hr);
            if (number == kAccessRefused) {
                // Wrap-safe comparison of the 32-bit tick count.
                if (static_cast<int32_t>(clock->GetTickCount() - deadline) < 0) {
                    if (bringToFront) bringToFront(engine_);
                    continue;
                }
                RaiseError(kAccessRefused, "Engine->InitInput",
                           "Couldn't acquire input devices - check if the application has the necessary "
                           "permissions and if other programs are running");
            }
            RaiseError(number, "Engine->InitInput", ErrorDescription(hr));
        }
    };

    if (!engine_.platform.dinput) engine_.platform.dinput = CreateSDLDirectInput8();
    dinput_ = engine_.platform.dinput;
    if (!dinput_) RaiseError(InputErrorNumber(DIERR_NOTINITIALIZED), "Engine->InitInput", ErrorDescription(DIERR_NOTINITIALIZED));

    SDL_Window* window = engine_.hostWindowHandle;
    step([&] { return dinput_->CreateDevice(GUID_SysKeyboard, keyboard_); });
    step([&] { return keyboard_->SetDataFormat(c_dfDIKeyboard); });
    step([&] { return keyboard_->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND); });
    step([&] { return keyboard_->Acquire(); });

    const uint32_t mouseLevel =
        engine_.mouseCapture ? (DISCL_EXCLUSIVE | DISCL_FOREGROUND) : (DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    step([&] { return dinput_->CreateDevice(GUID_SysMouse, mouse_); });
    step([&] { return mouse_->SetDataFormat(c_dfDIMouse); });
    step([&] { return mouse_->SetCooperativeLevel(window, mouseLevel); });
    step([&] { return mouse_->Acquire(); });

    // Pads are extras: a slot that cannot be made is left out, and one that
    // is refused now is acquired again at the next poll.
    for (int i = 0; i < 2; ++i) {
        std::shared_ptr<IDirectInputDevice8> pad;
        if (!DiSucceeded(dinput_->CreateDevice(i == 0 ? GUID_Joystick1 : GUID_Joystick2, pad)) || !pad) continue;
        if (!DiSucceeded(pad->SetDataFormat(c_dfDIJoystick)) ||
            !DiSucceeded(pad->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND)))
            continue;
        pad->Acquire();
        pads_[i] = pad;
    }

    mouseSensitivity = 0.01f;
}

void inpControl::Acquire() {
    if (keyboard_) keyboard_->Acquire();
    if (mouse_) mouse_->Acquire();
}

void inpControl::PollInput() {
    if (!keyboard_ || !mouse_) return;
    std::array<uint8_t, 256> keys{};
    DIMOUSESTATE mouse{};
    const HRESULT hk = keyboard_->GetDeviceState(kKeyboardStateSize, keys.data());
    const HRESULT hm = mouse_->GetDeviceState(sizeof(DIMOUSESTATE), &mouse);
    if (!DiSucceeded(hk) || !DiSucceeded(hm)) {
        // Lost devices report nothing held and no motion, so neither a key
        // nor a mouse binding stays down while the window is in the background.
        keys_.fill(0);
        mouse_state_ = {};
        for (int i = 0; i < 2; ++i) {
            pad_state_[i] = {};
            padPlugged_[i] = false;
        }
        Acquire();
        return;
    }
    keys_ = keys;
    mouse_state_ = mouse;
    cursorX += static_cast<float>(mouse.lX) * mouseSensitivity;
    cursorY -= static_cast<float>(mouse.lY) * mouseSensitivity;
    ReadPads();
    const float aspect = std::max(0.0f, engine_.aspectRatio);
    cursorX = std::clamp(cursorX, -aspect, aspect);
    cursorY = std::clamp(cursorY, -1.0f, 1.0f);
}

void inpControl::ReadPads() {
    IClock* clock = engine_.platform.clock.get();
    const uint32_t now = clock ? clock->GetTickCount() : 0;
    const uint32_t stepMs = polled_ ? std::min(now - lastPoll_, kLongestPadStepMs) : 0;
    lastPoll_ = now;
    polled_ = true;
    for (int i = 0; i < 2; ++i) {
        pad_state_[i] = {};
        padPlugged_[i] = false;
        if (!pads_[i]) continue;
        const HRESULT hr = pads_[i]->GetDeviceState(sizeof(DIJOYSTATE), &pad_state_[i]);
        if (DiSucceeded(hr)) {
            padPlugged_[i] = true;
        } else {
            pad_state_[i] = {};
            if (hr != DIERR_UNPLUGGED) pads_[i]->Acquire();
        }
    }
    if (!padsOnMenu || stepMs == 0) return;
    // The stick (past its dead zone, scaled back to 0..1) or the d-pad.
    auto tilt = [](int32_t axis, bool less, bool more) {
        if (less != more) return more ? 1.0f : -1.0f;
        const int32_t size = std::abs(axis);
        if (size <= kStickDeadZone) return 0.0f;
        const float t = float(std::min(size, kJoyAxisRange) - kStickDeadZone) / float(kJoyAxisRange - kStickDeadZone);
        return axis < 0 ? -t : t;
    };
    const float step = padCursorSpeed * float(stepMs) / 1000.0f;
    for (int i = 0; i < 2; ++i) {
        if (!padPlugged_[i]) continue;
        const DIJOYSTATE& s = pad_state_[i];
        cursorX += step * tilt(s.lX, s.rgbButtons[joy::DPAD_LEFT] != 0, s.rgbButtons[joy::DPAD_RIGHT] != 0);
        cursorY -= step * tilt(s.lY, s.rgbButtons[joy::DPAD_UP] != 0, s.rgbButtons[joy::DPAD_DOWN] != 0);
    }
}

bool inpControl::PadDown(int pad, int what) const {
    if (!PadPlugged(pad)) return false;
    const DIJOYSTATE& s = pad_state_[pad];
    switch (what) {
    case kPadUp: return s.lY < -kStickPushed || s.rgbButtons[joy::DPAD_UP];
    case kPadDown: return s.lY > kStickPushed || s.rgbButtons[joy::DPAD_DOWN];
    case kPadLeft: return s.lX < -kStickPushed || s.rgbButtons[joy::DPAD_LEFT];
    case kPadRight: return s.lX > kStickPushed || s.rgbButtons[joy::DPAD_RIGHT];
    default: break;
    }
    const int button = what - kPadButton0;
    return button >= 0 && button < 32 && s.rgbButtons[button] != 0;
}

bool inpControl::MenuBackDown() const {
    return KeyDown(kEscape) || PadDown(0, kPadButton0 + joy::START) || PadDown(1, kPadButton0 + joy::START);
}

bool inpControl::MenuClickDown() const {
    return MouseButtonDown(0) || PadDown(0, kPadButton0 + joy::SOUTH) || PadDown(1, kPadButton0 + joy::SOUTH);
}

void inpControl::StopInput() {
    for (int i = 0; i < 2; ++i) {
        if (pads_[i]) pads_[i]->Unacquire();
        pads_[i].reset();
        pad_state_[i] = {};
        padPlugged_[i] = false;
    }
    if (mouse_) mouse_->Unacquire();
    if (keyboard_) keyboard_->Unacquire();
    mouse_.reset();
    keyboard_.reset();
    dinput_.reset();
}

bool inpControl::KeyDown(int scanCode) const {
    return scanCode >= 0 && scanCode < 256 && keys_[static_cast<size_t>(scanCode)] != 0;
}

bool inpControl::MouseButtonDown(int button) const {
    return button >= 0 && button < 4 && mouse_state_.rgbButtons[button] != 0;
}

bool inpControl::IsBindingDown(Binding b) const {
    switch (b.device) {
    case kBindKeyboard: return keys_[b.code] != 0;
    case kBindMouse:
        switch (b.code) {
        case kMouseRight: return mouse_state_.lX > 0;
        case kMouseLeft: return mouse_state_.lX < 0;
        case kMouseDown: return mouse_state_.lY > 0;
        case kMouseUp: return mouse_state_.lY < 0;
        case kWheelUp: return mouse_state_.lZ > 0;
        case kWheelDown: return mouse_state_.lZ < 0;
        case 6: case 7: case 8: case 9: return MouseButtonDown(b.code - kMouseButton0);
        default: return false;
        }
    case kBindJoystick: return PadDown(b.code / kPadCodes, b.code % kPadCodes);
    default: return false;
    }
}

ControlRecord inpControl::GetControls(int player) const {
    ControlRecord r;
    // Only two players have bindings.
    if (player < 0 || player > 1) return r;
    const auto& table = engine_.settings.bindings;
    auto down = [&](int control) {
        return IsBindingDown(table[static_cast<size_t>(kControlsPerPlayer * player + control)]) ||
               (!padsOnMenu && IsBindingDown(PadBinding(player, control)));
    };
    auto value = [&](int control) { return down(control) ? 1.0f : 0.0f; };
    r.X = value(CtlPosX) - value(CtlNegX);
    r.Y = value(CtlPosY) - value(CtlNegY);
    r.ButtonA = down(CtlButtonA);
    r.Unused = false;
    r.ButtonB = down(CtlButtonB);
    r.ButtonC = down(CtlButtonC);
    return r;
}

Binding inpControl::FirstPressedBinding() const {
    for (int code = 0; code < 256; ++code)
        if (keys_[static_cast<size_t>(code)]) return {kBindKeyboard, static_cast<uint8_t>(code)};
    return {kBindNone, 0};
}

std::string BindingName(Binding b) {
    if (b.device == kBindKeyboard) {
        const int c = b.code;
        if (c >= 16 && c <= 25) return std::string(1, "QWERTYUIOP"[c - 16]);
        if (c >= 30 && c <= 38) return std::string(1, "ASDFGHJKL"[c - 30]);
        if (c >= 44 && c <= 50) return std::string(1, "ZXCVBNM"[c - 44]);
        if (c >= 2 && c <= 11) return std::string(1, "1234567890"[c - 2]);
        return "#" + std::to_string(c);
    }
    if (b.device == kBindJoystick) return "Joy";
    return {};
}

Binding PadBinding(int player, int control) {
    static constexpr uint8_t kLayout[kControlsPerPlayer] = {
        kPadUp, kPadDown, kPadRight, kPadLeft, kPadButton0 + joy::SOUTH, kPadButton0 + joy::LEFTSHOULDER,
        kPadButton0 + joy::RIGHTSHOULDER};
    if (player < 0 || player > 1 || control < 0 || control >= kControlsPerPlayer) return {kBindNone, 0};
    return {kBindJoystick, static_cast<uint8_t>(player * kPadCodes + kLayout[control])};
}

inpControl* Input(const Engine& engine) { return engine.input.get(); }

bool KeyDown(const Engine& engine, int scanCode) { return engine.input && engine.input->KeyDown(scanCode); }

ControlRecord GetControls(const Engine& engine, int player) {
    return engine.input ? engine.input->GetControls(player) : ControlRecord{};
}

bool IsBindingDown(const Engine& engine, Binding b) { return engine.input && engine.input->IsBindingDown(b); }

float BindingValue(const Engine& engine, Binding b) { return IsBindingDown(engine, b) ? 1.0f : 0.0f; }

Binding FirstPressedBinding(const Engine& engine) {
    return engine.input ? engine.input->FirstPressedBinding() : Binding{kBindNone, 0};
}

bool MouseButtonDown(const Engine& engine, int button) {
    return engine.input && engine.input->MouseButtonDown(button);
}

} // namespace rdv
