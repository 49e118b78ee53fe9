#include "platform/dinput/ScriptedInput.h"

#include <algorithm>

namespace rdv {

struct ScriptedDirectInput::State {
    // Held now, and pressed since the last read (read once as down).
    std::array<uint8_t, 256> keys{};
    std::array<uint8_t, 256> keysPressed{};
    int32_t dx = 0, dy = 0, dz = 0;
    uint8_t buttons[4] = {0, 0, 0, 0};
    uint8_t buttonsPressed[4] = {0, 0, 0, 0};
    struct Pad {
        bool plugged = false;
        DIJOYSTATE state;
        std::array<uint8_t, 32> pressed{};
    };
    Pad pads[2];
    std::deque<Frame> frames;
    bool focused = true;
    std::map<DIDeviceGuid, DeviceRecord> records;
    struct Failure {
        HRESULT hr;
        int times;  // < 0: always
    };
    std::map<std::pair<DIDeviceGuid, Op>, Failure> failures;

    // The scripted result of a call, or DI_OK to carry on.
    HRESULT Check(DIDeviceGuid device, Op op) {
        auto it = failures.find({device, op});
        if (it == failures.end()) return DI_OK;
        HRESULT hr = it->second.hr;
        if (it->second.times > 0 && --it->second.times == 0) failures.erase(it);
        return hr;
    }

    void Press(uint8_t code) { keys[code] = keysPressed[code] = 0x80; }
    void SetButton(int i, bool down) {
        buttons[i] = down ? 0x80 : 0;
        if (down) buttonsPressed[i] = 0x80;
    }

    // Presses come before releases: a code in both was tapped within the poll.
    void Apply(const Frame& f) {
        for (uint8_t c : f.down) Press(c);
        for (uint8_t c : f.up) keys[c] = 0;
        dx += f.dx;
        dy += f.dy;
        dz += f.dz;
        for (int i = 0; i < 4; ++i)
            if (f.buttons[i] >= 0) SetButton(i, f.buttons[i] != 0);
    }
};

namespace {

class ScriptedDevice final : public IDirectInputDevice8 {
public:
    ScriptedDevice(std::shared_ptr<ScriptedDirectInput::State> s, DIDeviceGuid kind) : s_(std::move(s)), kind_(kind) {
        auto& r = Rec();
        r = {};
        r.created = true;
        r.alive = true;
    }
    ~ScriptedDevice() override {
        Rec().alive = false;
        Rec().acquired = false;
    }

    HRESULT SetDataFormat(DIDataFormat format) override {
        if (HRESULT hr = s_->Check(kind_, ScriptedDirectInput::Op::SetDataFormat)) return hr;
        if (Rec().acquired) return DIERR_ACQUIRED;
        if (format != FormatOf(kind_)) return DIERR_INVALIDPARAM;
        Rec().formatSet = true;
        Rec().format = format;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(SDL_Window* window, uint32_t flags) override {
        if (HRESULT hr = s_->Check(kind_, ScriptedDirectInput::Op::SetCooperativeLevel)) return hr;
        if (Rec().acquired) return DIERR_ACQUIRED;
        const bool excl = flags & DISCL_EXCLUSIVE, nonexcl = flags & DISCL_NONEXCLUSIVE;
        const bool fg = flags & DISCL_FOREGROUND, bg = flags & DISCL_BACKGROUND;
        if (excl == nonexcl || fg == bg) return DIERR_INVALIDPARAM;
        Rec().flags = flags;
        Rec().window = window;
        return DI_OK;
    }

    HRESULT Acquire() override {
        auto& r = Rec();
        ++r.acquireCalls;
        if (HRESULT hr = s_->Check(kind_, ScriptedDirectInput::Op::Acquire)) return hr;
        if (!r.formatSet) return DIERR_INVALIDPARAM;
        if (r.acquired) return DI_NOEFFECT;
        if ((r.flags & DISCL_FOREGROUND) && !s_->focused) return DIERR_OTHERAPPHASPRIO;
        r.acquired = true;
        r.lost = false;
        if (kind_ == GUID_SysMouse) s_->dx = s_->dy = s_->dz = 0;
        return DI_OK;
    }

    HRESULT Unacquire() override {
        auto& r = Rec();
        ++r.unacquireCalls;
        if (HRESULT hr = s_->Check(kind_, ScriptedDirectInput::Op::Unacquire)) return hr;
        if (!r.acquired) return DI_NOEFFECT;
        r.acquired = false;
        return DI_OK;
    }

    HRESULT GetDeviceState(uint32_t size, void* data) override {
        auto& r = Rec();
        ++r.reads;
        // A keyboard read starts a poll: the next queued frame takes effect.
        if (kind_ == GUID_SysKeyboard && !s_->frames.empty()) {
            s_->Apply(s_->frames.front());
            s_->frames.pop_front();
        }
        if (HRESULT hr = s_->Check(kind_, ScriptedDirectInput::Op::GetDeviceState)) return hr;
        if (!data) return DIERR_INVALIDPARAM;
        if (!r.acquired) {
            if (r.lost) {
                r.lost = false;
                return DIERR_INPUTLOST;
            }
            return DIERR_NOTACQUIRED;
        }
        if (IsJoystick(kind_)) {
            if (size != sizeof(DIJOYSTATE)) return DIERR_INVALIDPARAM;
            auto& pad = s_->pads[kind_ == GUID_Joystick1 ? 0 : 1];
            if (!pad.plugged) return DIERR_UNPLUGGED;
            DIJOYSTATE out = pad.state;
            for (size_t b = 0; b < 32; ++b) out.rgbButtons[b] |= pad.pressed[b];
            pad.pressed.fill(0);
            *static_cast<DIJOYSTATE*>(data) = out;
            return DI_OK;
        }
        if (kind_ == GUID_SysKeyboard) {
            if (size != kKeyboardStateSize) return DIERR_INVALIDPARAM;
            auto* out = static_cast<uint8_t*>(data);
            for (size_t i = 0; i < kKeyboardStateSize; ++i) out[i] = s_->keys[i] | s_->keysPressed[i];
            s_->keysPressed.fill(0);
            return DI_OK;
        }
        if (size != sizeof(DIMOUSESTATE)) return DIERR_INVALIDPARAM;
        DIMOUSESTATE m;
        m.lX = s_->dx;
        m.lY = s_->dy;
        m.lZ = s_->dz;
        for (int i = 0; i < 4; ++i) {
            m.rgbButtons[i] = s_->buttons[i] | s_->buttonsPressed[i];
            s_->buttonsPressed[i] = 0;
        }
        s_->dx = s_->dy = s_->dz = 0;
        *static_cast<DIMOUSESTATE*>(data) = m;
        return DI_OK;
    }

private:
    ScriptedDirectInput::DeviceRecord& Rec() { return s_->records[kind_]; }
    std::shared_ptr<ScriptedDirectInput::State> s_;
    DIDeviceGuid kind_;
};

} // namespace

ScriptedDirectInput::ScriptedDirectInput() : state_(std::make_shared<State>()) {}

HRESULT ScriptedDirectInput::CreateDevice(DIDeviceGuid guid, std::shared_ptr<IDirectInputDevice8>& device) {
    if (HRESULT hr = state_->Check(guid, Op::CreateDevice)) return hr;
    device = std::make_shared<ScriptedDevice>(state_, guid);
    return DI_OK;
}

void ScriptedDirectInput::KeyDown(uint8_t code) { state_->Press(code); }
void ScriptedDirectInput::KeyUp(uint8_t code) { state_->keys[code] = 0; }
void ScriptedDirectInput::ReleaseAll() {
    state_->keys.fill(0);
    state_->keysPressed.fill(0);
    std::fill(std::begin(state_->buttons), std::end(state_->buttons), uint8_t{0});
    std::fill(std::begin(state_->buttonsPressed), std::end(state_->buttonsPressed), uint8_t{0});
}
void ScriptedDirectInput::MoveMouse(int32_t dx, int32_t dy, int32_t dz) {
    state_->dx += dx;
    state_->dy += dy;
    state_->dz += dz;
}
void ScriptedDirectInput::SetButton(int button, bool down) {
    if (button >= 0 && button < 4) state_->SetButton(button, down);
}
void ScriptedDirectInput::QueueFrame(Frame frame) { state_->frames.push_back(std::move(frame)); }
void ScriptedDirectInput::PlugPad(int slot, bool plugged) {
    if (slot < 0 || slot > 1) return;
    state_->pads[slot] = {};
    state_->pads[slot].plugged = plugged;
}
void ScriptedDirectInput::SetPadButton(int slot, int button, bool down) {
    if (slot < 0 || slot > 1 || button < 0 || button >= 32) return;
    auto& pad = state_->pads[slot];
    pad.state.rgbButtons[button] = down ? 0x80 : 0;
    if (down) pad.pressed[size_t(button)] = 0x80;
}
void ScriptedDirectInput::SetPadStick(int slot, int32_t x, int32_t y) {
    if (slot < 0 || slot > 1) return;
    state_->pads[slot].state.lX = x;
    state_->pads[slot].state.lY = y;
}
size_t ScriptedDirectInput::QueuedFrames() const { return state_->frames.size(); }

void ScriptedDirectInput::LoseFocus() {
    state_->focused = false;
    for (auto& [guid, r] : state_->records)
        if (r.acquired && (r.flags & DISCL_FOREGROUND)) {
            r.acquired = false;
            r.lost = true;
        }
}
void ScriptedDirectInput::GainFocus() { state_->focused = true; }
bool ScriptedDirectInput::Focused() const { return state_->focused; }

void ScriptedDirectInput::FailNext(DIDeviceGuid device, Op op, HRESULT hr, int times) {
    if (times > 0) state_->failures[{device, op}] = {hr, times};
}
void ScriptedDirectInput::FailAlways(DIDeviceGuid device, Op op, HRESULT hr) {
    state_->failures[{device, op}] = {hr, -1};
}
void ScriptedDirectInput::ClearFailures() { state_->failures.clear(); }

const ScriptedDirectInput::DeviceRecord& ScriptedDirectInput::Record(DIDeviceGuid device) const {
    return state_->records[device];
}

} // namespace rdv
