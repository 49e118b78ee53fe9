#include "input/Input.h"

#include <SDL.h>

#include <algorithm>

#include "core/Engine.h"
#include "core/Error.h"
#include "platform/Clock.h"
#include "platform/Host.h"
#include "platform/dinput/Factory.h"

namespace rdv {

namespace {

constexpr uint32_t kStartDeadlineMs = 10000;
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
        Acquire();
        return;
    }
    keys_ = keys;
    mouse_state_ = mouse;
    cursorX += static_cast<float>(mouse.lX) * mouseSensitivity;
    cursorY -= static_cast<float>(mouse.lY) * mouseSensitivity;
    const float aspect = std::max(0.0f, engine_.aspectRatio);
    cursorX = std::clamp(cursorX, -aspect, aspect);
    cursorY = std::clamp(cursorY, -1.0f, 1.0f);
}

void inpControl::StopInput() {
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
    default: return false;  // joystick bindings are named but never down
    }
}

ControlRecord inpControl::GetControls(int player) const {
    ControlRecord r;
    // Only two players have bindings.
    if (player < 0 || player > 1) return r;
    const auto& table = engine_.settings.bindings;
    auto b = [&](int control) { return table[static_cast<size_t>(kControlsPerPlayer * player + control)]; };
    r.X = BindingValue(b(CtlPosX)) - BindingValue(b(CtlNegX));
    r.Y = BindingValue(b(CtlPosY)) - BindingValue(b(CtlNegY));
    r.ButtonA = IsBindingDown(b(CtlButtonA));
    r.Unused = false;
    r.ButtonB = IsBindingDown(b(CtlButtonB));
    r.ButtonC = IsBindingDown(b(CtlButtonC));
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
