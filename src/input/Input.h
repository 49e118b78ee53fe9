#pragma once
// Input: the keyboard and mouse devices, the key bindings and the
// per-player control record. StartInput/PollInput/StopInput (core/Subsystems.h)
// drive engine.input; game code reads it through the calls below.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/Settings.h"  // Binding
#include "platform/dinput/DInput8.h"

namespace rdv {

class Engine;

// Binding device kinds.
inline constexpr uint8_t kBindKeyboard = 0;
inline constexpr uint8_t kBindMouse = 1;
inline constexpr uint8_t kBindJoystick = 2;
inline constexpr uint8_t kBindNone = 255;

// Mouse binding codes: 0 right, 1 left, 2 lY > 0, 3 lY < 0, 4 wheel up,
// 5 wheel down, 6..9 buttons 0..3.
inline constexpr uint8_t kMouseRight = 0, kMouseLeft = 1, kMouseDown = 2, kMouseUp = 3, kWheelUp = 4,
                         kWheelDown = 5, kMouseButton0 = 6;

// Joystick binding codes: pad (0 or 1) x kPadCodes + what: up, down, left,
// right (left stick past half way, or the d-pad), or kPadButton0 + a pad
// button (joy::SOUTH ...).
inline constexpr uint8_t kPadUp = 0, kPadDown = 1, kPadLeft = 2, kPadRight = 3, kPadButton0 = 4, kPadCodes = 32;

// Controls of a player, in binding order: entry 7 * player + control.
enum Control : int { CtlPosX = 0, CtlNegX = 1, CtlPosY = 2, CtlNegY = 3, CtlButtonA = 4, CtlButtonB = 5, CtlButtonC = 6 };
inline constexpr int kControlsPerPlayer = 7;

// One player's controls this tick: X and Y are -1, 0 or +1; Unused is
// always false. The key handler reads X as move, Y as turn, ButtonA as
// jump; the director steps cameras with ButtonB (previous) and ButtonC (next).
struct ControlRecord {
    float X = 0.0f;
    float Y = 0.0f;
    bool ButtonA = false;
    bool Unused = false;
    bool ButtonB = false;
    bool ButtonC = false;
    bool operator==(const ControlRecord&) const = default;
};

class inpControl {
public:
    explicit inpControl(Engine& engine);
    ~inpControl();
    inpControl(const inpControl&) = delete;
    inpControl& operator=(const inpControl&) = delete;

    // Creates and acquires both devices; retries refused access for 10 s.
    void StartInput();
    // Reads both devices and moves the cursor; a failed read re-acquires.
    void PollInput();
    // Unacquires and releases the devices.
    void StopInput();
    bool Started() const { return keyboard_ != nullptr || mouse_ != nullptr; }

    // The player's bindings, and alongside them the player's pad (pad 1 for
    // player 0) in the usual layout (PadBinding); not the pad while it
    // works the menu.
    ControlRecord GetControls(int player) const;
    bool IsBindingDown(Binding b) const;
    float BindingValue(Binding b) const { return IsBindingDown(b) ? 1.0f : 0.0f; }
    // The first keyboard code held, as (0, code); (255, 0) when none is.
    Binding FirstPressedBinding() const;

    // Raw state for the main loop and the menus.
    bool KeyDown(int scanCode) const;
    const std::array<uint8_t, 256>& KeyState() const { return keys_; }
    const DIMOUSESTATE& MouseState() const { return mouse_state_; }
    bool MouseButtonDown(int button) const;
    // The menu's Esc and left button: also Start and the south button of
    // either pad.
    bool MenuBackDown() const;
    bool MenuClickDown() const;
    // Pad 0 or 1 is plugged in, and what (kPadUp ...) is held on it.
    bool PadPlugged(int pad) const { return pad >= 0 && pad < 2 && padPlugged_[pad]; }
    bool PadDown(int pad, int what) const;

    // While set (the menu is open), the pads steer the cursor instead of
    // the players.
    bool padsOnMenu = false;
    // Cursor units per second at full tilt of a stick or the d-pad.
    float padCursorSpeed = 1.5f;

    // Menu cursor: x in [-aspect, aspect], y in [-1, 1].
    float cursorX = 0.0f;
    float cursorY = 0.0f;
    // Cursor units per mouse count.
    float mouseSensitivity = 0.01f;

    // Called while start-up waits for refused access: brings the host window
    // to the front and lets pending window messages run. Tests replace it.
    std::function<void(Engine&)> bringToFront;

private:
    void Acquire();
    void ReadPads();

    Engine& engine_;
    std::shared_ptr<IDirectInput8> dinput_;
    std::shared_ptr<IDirectInputDevice8> keyboard_;
    std::shared_ptr<IDirectInputDevice8> mouse_;
    std::shared_ptr<IDirectInputDevice8> pads_[2];
    std::array<uint8_t, 256> keys_{};
    DIMOUSESTATE mouse_state_{};
    DIJOYSTATE pad_state_[2];
    bool padPlugged_[2] = {false, false};
    uint32_t lastPoll_ = 0;
    bool polled_ = false;
};

// Name of a binding for the controls page: letters and digits by name,
// other keys "#code", "Joy" for joystick bindings, "" for mouse and none.
std::string BindingName(Binding b);

// Player 0 or 1's pad binding for a control: up/down forward and back,
// right/left turn, south jump, left/right shoulder previous/next camera.
Binding PadBinding(int player, int control);

// The error number a DirectInput result raises as: access refused is 70,
// invalid argument 5, out of memory 7, no interface 430, not implemented
// 445; any other result keeps its own value.
int32_t InputErrorNumber(HRESULT hr);

// Engine-level access; all are safe before StartInput (nothing is down).
inpControl* Input(const Engine& engine);
bool KeyDown(const Engine& engine, int scanCode);
ControlRecord GetControls(const Engine& engine, int player);
bool IsBindingDown(const Engine& engine, Binding b);
float BindingValue(const Engine& engine, Binding b);
Binding FirstPressedBinding(const Engine& engine);
bool MouseButtonDown(const Engine& engine, int button);

} // namespace rdv
