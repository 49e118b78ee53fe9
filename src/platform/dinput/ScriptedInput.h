#pragma once
// A DirectInput 8 whose keyboard, mouse and pads are driven by a test or a
// simulation: keys and buttons set by hand or per poll from a queue, mouse
// motion accumulated until read, focus loss and scripted failures. It
// behaves as DirectInput does for a foreground device: acquiring without
// focus is refused (DIERR_OTHERAPPHASPRIO), losing focus unacquires, and the
// first read after that reports DIERR_INPUTLOST.
#include <array>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "platform/dinput/DInput8.h"

namespace rdv {

class ScriptedDirectInput final : public IDirectInput8 {
public:
    enum class Op { CreateDevice, SetDataFormat, SetCooperativeLevel, Acquire, Unacquire, GetDeviceState };

    // One poll's worth of input, applied by the keyboard read that starts it.
    struct Frame {
        std::vector<uint8_t> down;  // scan codes pressed
        std::vector<uint8_t> up;    // scan codes released
        int32_t dx = 0, dy = 0, dz = 0;
        std::array<int8_t, 4> buttons{-1, -1, -1, -1};  // -1 unchanged, 0 up, 1 down
    };

    // What the engine did with one device.
    struct DeviceRecord {
        bool created = false;
        bool alive = false;  // false again once the engine released it
        bool formatSet = false;
        DIDataFormat format = c_dfDIKeyboard;
        uint32_t flags = 0;
        SDL_Window* window = nullptr;
        bool acquired = false;
        bool lost = false;
        int acquireCalls = 0;
        int unacquireCalls = 0;
        int reads = 0;
    };

    ScriptedDirectInput();

    HRESULT CreateDevice(DIDeviceGuid guid, std::shared_ptr<IDirectInputDevice8>& device) override;

    void KeyDown(uint8_t code);
    void KeyUp(uint8_t code);
    void ReleaseAll();
    // Motion and wheel add up until the mouse is read.
    void MoveMouse(int32_t dx, int32_t dy, int32_t dz = 0);
    void SetButton(int button, bool down);
    void QueueFrame(Frame frame);

    // Pads, slot 0 or 1: plugged in empty-handed, buttons (joy::...) and the
    // left stick (-kJoyAxisRange..kJoyAxisRange, y down).
    void PlugPad(int slot, bool plugged = true);
    void SetPadButton(int slot, int button, bool down);
    void SetPadStick(int slot, int32_t x, int32_t y);
    size_t QueuedFrames() const;

    void LoseFocus();
    void GainFocus();
    bool Focused() const;

    // The next `times` calls of `op` on that device return `hr`.
    void FailNext(DIDeviceGuid device, Op op, HRESULT hr, int times = 1);
    // Every call of `op` on that device returns `hr` until cleared.
    void FailAlways(DIDeviceGuid device, Op op, HRESULT hr);
    void ClearFailures();

    const DeviceRecord& Record(DIDeviceGuid device) const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

} // namespace rdv
