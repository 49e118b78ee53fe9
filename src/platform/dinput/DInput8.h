#pragma once
// The DirectInput 8 interface as the engine uses it: the system keyboard and
// mouse, two game pads, their data formats, cooperative levels, acquisition
// and immediate state reads. A key or button that went down since the last
// read reads as down once, even if it was let go before the read. Implemented on SDL2 (SdlInput.cpp) and by a scripted source
// for tests (ScriptedInput.h).
#include <cstdint>
#include <memory>
#include <string>

struct SDL_Window;

namespace rdv {

using HRESULT = int32_t;

// DirectInput result codes (the values of the DirectX 8 SDK).
inline constexpr HRESULT DI_OK = 0;
inline constexpr HRESULT DI_NOEFFECT = 1;  // S_FALSE: already acquired / not acquired
inline constexpr HRESULT DIERR_GENERIC = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT DIERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT DIERR_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT DIERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT DIERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT DIERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x80070005u);  // E_ACCESSDENIED
inline constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);
inline constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu);
inline constexpr HRESULT DIERR_NOTINITIALIZED = static_cast<HRESULT>(0x80070015u);
inline constexpr HRESULT DIERR_ACQUIRED = static_cast<HRESULT>(0x800700AAu);
inline constexpr HRESULT DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154u);
inline constexpr HRESULT DIERR_OBJECTNOTFOUND = static_cast<HRESULT>(0x80070002u);
inline constexpr HRESULT DIERR_UNPLUGGED = static_cast<HRESULT>(0x80040209u);

inline bool DiSucceeded(HRESULT hr) { return hr >= 0; }

// The SDK's one-line description of a DirectInput result ("" if unknown).
std::string DIResultText(HRESULT hr);

// The devices the engine creates. The two pad slots exist whether or not a
// pad is plugged in: the first pad plugged in takes slot 1 and keeps it
// until it is unplugged; a later pad takes the lowest free slot. Reading an
// empty slot fails with DIERR_UNPLUGGED.
enum class DIDeviceGuid { SysKeyboard, SysMouse, Joystick1, Joystick2 };
inline constexpr DIDeviceGuid GUID_SysKeyboard = DIDeviceGuid::SysKeyboard;
inline constexpr DIDeviceGuid GUID_SysMouse = DIDeviceGuid::SysMouse;
inline constexpr DIDeviceGuid GUID_Joystick1 = DIDeviceGuid::Joystick1;
inline constexpr DIDeviceGuid GUID_Joystick2 = DIDeviceGuid::Joystick2;
inline bool IsJoystick(DIDeviceGuid guid) { return guid == GUID_Joystick1 || guid == GUID_Joystick2; }

// The common data formats.
enum class DIDataFormat { Keyboard, Mouse, Joystick };
inline constexpr DIDataFormat c_dfDIKeyboard = DIDataFormat::Keyboard;
inline constexpr DIDataFormat c_dfDIMouse = DIDataFormat::Mouse;
inline constexpr DIDataFormat c_dfDIJoystick = DIDataFormat::Joystick;
inline DIDataFormat FormatOf(DIDeviceGuid guid) {
    return guid == GUID_SysKeyboard ? c_dfDIKeyboard : guid == GUID_SysMouse ? c_dfDIMouse : c_dfDIJoystick;
}

// Cooperative level flags.
inline constexpr uint32_t DISCL_EXCLUSIVE = 0x1;
inline constexpr uint32_t DISCL_NONEXCLUSIVE = 0x2;
inline constexpr uint32_t DISCL_FOREGROUND = 0x4;
inline constexpr uint32_t DISCL_BACKGROUND = 0x8;

// Immediate mouse state: motion since the last read, wheel in 120ths of a
// notch, buttons 0 left, 1 right, 2 middle, 3 first extra (0x80 = down).
struct DIMOUSESTATE {
    int32_t lX = 0;
    int32_t lY = 0;
    int32_t lZ = 0;
    uint8_t rgbButtons[4] = {0, 0, 0, 0};
};
static_assert(sizeof(DIMOUSESTATE) == 16);

// Immediate pad state. Axes run from -kJoyAxisRange to +kJoyAxisRange
// (lY and lRy grow downwards): lX, lY left stick, lRx, lRy right stick, lZ
// and lRz the left and right triggers (0 at rest). rgdwPOV[0] is the d-pad
// in hundredths of a degree clockwise from up, kPovCentred at rest. Buttons
// follow the usual pad layout (joy::SOUTH ...), d-pad included.
struct DIJOYSTATE {
    int32_t lX = 0, lY = 0, lZ = 0;
    int32_t lRx = 0, lRy = 0, lRz = 0;
    int32_t rglSlider[2] = {0, 0};
    uint32_t rgdwPOV[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    uint8_t rgbButtons[32] = {};
};
static_assert(sizeof(DIJOYSTATE) == 80);
inline constexpr int32_t kJoyAxisRange = 1000;
inline constexpr uint32_t kPovCentred = 0xFFFFFFFFu;

namespace joy {
inline constexpr int SOUTH = 0, EAST = 1, WEST = 2, NORTH = 3, BACK = 4, GUIDE = 5, START = 6, LEFTSTICK = 7,
                     RIGHTSTICK = 8, LEFTSHOULDER = 9, RIGHTSHOULDER = 10, DPAD_UP = 11, DPAD_DOWN = 12,
                     DPAD_LEFT = 13, DPAD_RIGHT = 14, BUTTONS = 15;
} // namespace joy

inline constexpr uint32_t kKeyboardStateSize = 256;
inline constexpr int32_t kWheelDelta = 120;

class IDirectInputDevice8 {
public:
    virtual ~IDirectInputDevice8() = default;
    virtual HRESULT SetDataFormat(DIDataFormat format) = 0;
    // window may be null only where the implementation says so (scripted).
    virtual HRESULT SetCooperativeLevel(SDL_Window* window, uint32_t flags) = 0;
    // DI_OK, DI_NOEFFECT when already acquired, or an error.
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    // size 256 for the keyboard (one byte a scan code, 0x80 = down),
    // sizeof(DIMOUSESTATE) for the mouse, sizeof(DIJOYSTATE) for a pad. Fails with DIERR_INPUTLOST once
    // after focus is lost, then DIERR_NOTACQUIRED until re-acquired.
    virtual HRESULT GetDeviceState(uint32_t size, void* data) = 0;
};

class IDirectInput8 {
public:
    virtual ~IDirectInput8() = default;
    virtual HRESULT CreateDevice(DIDeviceGuid guid, std::shared_ptr<IDirectInputDevice8>& device) = 0;
};

// DirectInput keyboard scan codes (DIK_*), as the key bindings store them.
namespace dik {
inline constexpr uint8_t ESCAPE = 0x01, K1 = 0x02, K2 = 0x03, K3 = 0x04, K4 = 0x05, K5 = 0x06, K6 = 0x07,
    K7 = 0x08, K8 = 0x09, K9 = 0x0A, K0 = 0x0B, MINUS = 0x0C, EQUALS = 0x0D, BACK = 0x0E, TAB = 0x0F,
    Q = 0x10, W = 0x11, E = 0x12, R = 0x13, T = 0x14, Y = 0x15, U = 0x16, I = 0x17, O = 0x18, P = 0x19,
    LBRACKET = 0x1A, RBRACKET = 0x1B, RETURN = 0x1C, LCONTROL = 0x1D, A = 0x1E, S = 0x1F, D = 0x20,
    F = 0x21, G = 0x22, H = 0x23, J = 0x24, K = 0x25, L = 0x26, SEMICOLON = 0x27, APOSTROPHE = 0x28,
    GRAVE = 0x29, LSHIFT = 0x2A, BACKSLASH = 0x2B, Z = 0x2C, X = 0x2D, C = 0x2E, V = 0x2F, B = 0x30,
    N = 0x31, M = 0x32, COMMA = 0x33, PERIOD = 0x34, SLASH = 0x35, RSHIFT = 0x36, MULTIPLY = 0x37,
    LMENU = 0x38, SPACE = 0x39, CAPITAL = 0x3A, F1 = 0x3B, F2 = 0x3C, F3 = 0x3D, F4 = 0x3E, F5 = 0x3F,
    F6 = 0x40, F7 = 0x41, F8 = 0x42, F9 = 0x43, F10 = 0x44, NUMLOCK = 0x45, SCROLL = 0x46, NUMPAD7 = 0x47,
    NUMPAD8 = 0x48, NUMPAD9 = 0x49, SUBTRACT = 0x4A, NUMPAD4 = 0x4B, NUMPAD5 = 0x4C, NUMPAD6 = 0x4D,
    ADD = 0x4E, NUMPAD1 = 0x4F, NUMPAD2 = 0x50, NUMPAD3 = 0x51, NUMPAD0 = 0x52, DECIMAL = 0x53,
    OEM_102 = 0x56, F11 = 0x57, F12 = 0x58, F13 = 0x64, F14 = 0x65, F15 = 0x66, KANA = 0x70,
    ABNT_C1 = 0x73, CONVERT = 0x79, NOCONVERT = 0x7B, YEN = 0x7D, ABNT_C2 = 0x7E, NUMPADEQUALS = 0x8D,
    PREVTRACK = 0x90, AT = 0x91, COLON = 0x92, UNDERLINE = 0x93, KANJI = 0x94, STOP = 0x95, AX = 0x96,
    UNLABELED = 0x97, NEXTTRACK = 0x99, NUMPADENTER = 0x9C, RCONTROL = 0x9D, MUTE = 0xA0, CALCULATOR = 0xA1,
    PLAYPAUSE = 0xA2, MEDIASTOP = 0xA4, VOLUMEDOWN = 0xAE, VOLUMEUP = 0xB0, WEBHOME = 0xB2,
    NUMPADCOMMA = 0xB3, DIVIDE = 0xB5, SYSRQ = 0xB7, RMENU = 0xB8, PAUSE = 0xC5, HOME = 0xC7, UP = 0xC8,
    PRIOR = 0xC9, LEFT = 0xCB, RIGHT = 0xCD, END = 0xCF, DOWN = 0xD0, NEXT = 0xD1, INSERT = 0xD2,
    DELETE_ = 0xD3, LWIN = 0xDB, RWIN = 0xDC, APPS = 0xDD, POWER = 0xDE, SLEEP = 0xDF, WAKE = 0xE3,
    WEBSEARCH = 0xE5, WEBFAVORITES = 0xE6, WEBREFRESH = 0xE7, WEBSTOP = 0xE8, WEBFORWARD = 0xE9,
    WEBBACK = 0xEA, MYCOMPUTER = 0xEB, MAIL = 0xEC, MEDIASELECT = 0xED;
} // namespace dik

// The DirectInput scan code of an SDL scancode (an int holding an
// SDL_Scancode); 0 for keys DirectInput has no code for.
uint8_t SdlScancodeToDik(int sdlScancode);

} // namespace rdv
