#include <gtest/gtest.h>

#include <SDL.h>

#include "platform/dinput/DInput8.h"
#include "platform/dinput/Factory.h"

namespace rdv {
namespace {

TEST(ScanCodes, SampleKeysMapToDirectInputCodes) {
    struct Case {
        SDL_Scancode sdl;
        uint8_t dik;
    } cases[] = {
        {SDL_SCANCODE_ESCAPE, 0x01}, {SDL_SCANCODE_1, 0x02},     {SDL_SCANCODE_0, 0x0B},      {SDL_SCANCODE_Q, 0x10},
        {SDL_SCANCODE_A, 0x1E},      {SDL_SCANCODE_M, 0x32},     {SDL_SCANCODE_SPACE, 0x39},  {SDL_SCANCODE_LCTRL, 0x1D},
        {SDL_SCANCODE_RCTRL, 0x9D},  {SDL_SCANCODE_RALT, 0xB8},  {SDL_SCANCODE_F10, 0x44},    {SDL_SCANCODE_F11, 0x57},
        {SDL_SCANCODE_F12, 0x58},    {SDL_SCANCODE_UP, 0xC8},    {SDL_SCANCODE_LEFT, 0xCB},   {SDL_SCANCODE_PAGEUP, 0xC9},
        {SDL_SCANCODE_PAGEDOWN, 0xD1}, {SDL_SCANCODE_KP_ENTER, 0x9C}, {SDL_SCANCODE_KP_0, 0x52},
        {SDL_SCANCODE_NONUSBACKSLASH, 0x56}, {SDL_SCANCODE_PRINTSCREEN, 0xB7}, {SDL_SCANCODE_PAUSE, 0xC5},
    };
    for (const auto& c : cases) EXPECT_EQ(SdlScancodeToDik(c.sdl), c.dik) << SDL_GetScancodeName(c.sdl);
    EXPECT_EQ(SdlScancodeToDik(SDL_SCANCODE_UNKNOWN), 0);
    EXPECT_EQ(SdlScancodeToDik(SDL_SCANCODE_F24), 0);
}

TEST(ScanCodes, NoTwoKeysOfAStandardBoardShareACode) {
    // Every key of a full-size board, except the aliases that are the same
    // physical key position (non-US hash = backslash, print screen = sysrq).
    std::array<int, 256> seen{};
    for (int sc = SDL_SCANCODE_A; sc <= SDL_SCANCODE_KP_PERIOD; ++sc) {
        if (sc == SDL_SCANCODE_NONUSHASH) continue;
        uint8_t code = SdlScancodeToDik(sc);
        ASSERT_NE(code, 0) << SDL_GetScancodeName(static_cast<SDL_Scancode>(sc));
        EXPECT_EQ(seen[code]++, 0) << SDL_GetScancodeName(static_cast<SDL_Scancode>(sc));
    }
}

void Push(SDL_Event e) { ASSERT_GE(SDL_PushEvent(&e), 0) << SDL_GetError(); }

void PushWindow(uint32_t id, uint8_t what) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = id;
    e.window.event = what;
    Push(e);
}

void PushKey(uint32_t id, SDL_Scancode sc, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = id;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = sc;
    Push(e);
}

class SdlInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        window = SDL_CreateWindow("input test", 0, 0, 64, 64, SDL_WINDOW_HIDDEN);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        id = SDL_GetWindowID(window);
        di = CreateSDLDirectInput8();
        ASSERT_NE(di, nullptr);
        ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, keyboard), DI_OK);
        ASSERT_EQ(di->CreateDevice(GUID_SysMouse, mouse), DI_OK);
        ASSERT_EQ(keyboard->SetDataFormat(c_dfDIKeyboard), DI_OK);
        ASSERT_EQ(mouse->SetDataFormat(c_dfDIMouse), DI_OK);
        ASSERT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
        ASSERT_EQ(mouse->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    }
    void TearDown() override {
        keyboard.reset();
        mouse.reset();
        di.reset();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        if (window) SDL_DestroyWindow(window);
        SDL_Quit();
    }

    SDL_Window* window = nullptr;
    uint32_t id = 0;
    std::shared_ptr<IDirectInput8> di;
    std::shared_ptr<IDirectInputDevice8> keyboard, mouse;
    std::array<uint8_t, 256> keys{};
    DIMOUSESTATE m{};
};

TEST_F(SdlInputTest, FormatsAndLevelsAreChecked) {
    std::shared_ptr<IDirectInputDevice8> other;
    ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, other), DI_OK);
    EXPECT_EQ(other->Acquire(), DIERR_INVALIDPARAM);  // no data format yet
    EXPECT_EQ(other->SetDataFormat(c_dfDIMouse), DIERR_INVALIDPARAM);
    EXPECT_EQ(other->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), DI_NOEFFECT);
    EXPECT_EQ(keyboard->SetDataFormat(c_dfDIKeyboard), DIERR_ACQUIRED);
    EXPECT_EQ(keyboard->Unacquire(), DI_OK);
    EXPECT_EQ(keyboard->Unacquire(), DI_NOEFFECT);
}

TEST_F(SdlInputTest, ReadsNeedFocusAndReportTheLossOnce) {
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    // The hidden window has no focus yet: foreground devices cannot read.
    EXPECT_EQ(keyboard->GetDeviceState(256, keys.data()), DIERR_NOTACQUIRED);

    PushWindow(id, SDL_WINDOWEVENT_FOCUS_GAINED);
    PushKey(id, SDL_SCANCODE_F12, true);
    PushKey(id, SDL_SCANCODE_ESCAPE, true);
    PushKey(id, SDL_SCANCODE_ESCAPE, false);
    ASSERT_EQ(keyboard->GetDeviceState(256, keys.data()), DI_OK);
    EXPECT_EQ(keys[dik::F12], 0x80);
    EXPECT_EQ(keys[dik::ESCAPE], 0x80) << "a tap between two reads reads as down once";
    ASSERT_EQ(keyboard->GetDeviceState(256, keys.data()), DI_OK);
    EXPECT_EQ(keys[dik::F12], 0x80);
    EXPECT_EQ(keys[dik::ESCAPE], 0) << "and its release at the read after";
    EXPECT_EQ(keyboard->GetDeviceState(100, keys.data()), DIERR_INVALIDPARAM);

    // A press before the focus went is not carried over the loss.
    PushKey(id, SDL_SCANCODE_SPACE, true);
    PushKey(id, SDL_SCANCODE_SPACE, false);

    PushWindow(id, SDL_WINDOWEVENT_FOCUS_LOST);
    EXPECT_EQ(keyboard->GetDeviceState(256, keys.data()), DIERR_INPUTLOST);
    EXPECT_EQ(keyboard->GetDeviceState(256, keys.data()), DIERR_NOTACQUIRED);
    EXPECT_EQ(mouse->GetDeviceState(sizeof m, &m), DIERR_INPUTLOST);

    // Back in front: a re-acquire makes reads work, and nothing is held.
    PushWindow(id, SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_EQ(keyboard->GetDeviceState(256, keys.data()), DIERR_NOTACQUIRED);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    ASSERT_EQ(keyboard->GetDeviceState(256, keys.data()), DI_OK);
    EXPECT_EQ(keys[dik::F12], 0);
    EXPECT_EQ(keys[dik::SPACE], 0);

    // Events of another window do not count.
    PushKey(id + 100, SDL_SCANCODE_A, true);
    ASSERT_EQ(keyboard->GetDeviceState(256, keys.data()), DI_OK);
    EXPECT_EQ(keys[dik::A], 0);
}

TEST_F(SdlInputTest, MouseMotionIsSinceTheLastReadWithWheelAndButtons) {
    PushWindow(id, SDL_WINDOWEVENT_FOCUS_GAINED);
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = id;
    e.motion.xrel = 5;
    e.motion.yrel = -3;
    Push(e);  // before acquisition: not counted
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    Push(e);
    Push(e);
    SDL_Event w{};
    w.type = SDL_MOUSEWHEEL;
    w.wheel.windowID = id;
    w.wheel.y = -2;
    Push(w);
    SDL_Event b{};
    b.type = SDL_MOUSEBUTTONDOWN;
    b.button.windowID = id;
    b.button.button = SDL_BUTTON_RIGHT;
    Push(b);
    b.button.button = SDL_BUTTON_X1;
    Push(b);
    ASSERT_EQ(mouse->GetDeviceState(sizeof m, &m), DI_OK);
    EXPECT_EQ(m.lX, 10);
    EXPECT_EQ(m.lY, -6);
    EXPECT_EQ(m.lZ, -240);
    EXPECT_EQ(m.rgbButtons[0], 0);
    EXPECT_EQ(m.rgbButtons[1], 0x80);
    EXPECT_EQ(m.rgbButtons[3], 0x80);

    ASSERT_EQ(mouse->GetDeviceState(sizeof m, &m), DI_OK);
    EXPECT_EQ(m.lX, 0);
    EXPECT_EQ(m.lZ, 0);
    EXPECT_EQ(m.rgbButtons[1], 0x80);  // buttons are held state, not events
    EXPECT_EQ(mouse->GetDeviceState(12, &m), DIERR_INVALIDPARAM);
}

TEST_F(SdlInputTest, AnInstantClickReadsAsDownOnceThenUp) {
    PushWindow(id, SDL_WINDOWEVENT_FOCUS_GAINED);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    SDL_Event b{};
    b.type = SDL_MOUSEBUTTONDOWN;
    b.button.windowID = id;
    b.button.button = SDL_BUTTON_LEFT;
    Push(b);
    b.type = SDL_MOUSEBUTTONUP;
    Push(b);
    ASSERT_EQ(mouse->GetDeviceState(sizeof m, &m), DI_OK);
    EXPECT_EQ(m.rgbButtons[0], 0x80);
    ASSERT_EQ(mouse->GetDeviceState(sizeof m, &m), DI_OK);
    EXPECT_EQ(m.rgbButtons[0], 0);
    // Down, up and down again: held, and still held at the next read.
    b.type = SDL_MOUSEBUTTONDOWN;
    Push(b);
    b.type = SDL_MOUSEBUTTONUP;
    Push(b);
    b.type = SDL_MOUSEBUTTONDOWN;
    Push(b);
    ASSERT_EQ(mouse->GetDeviceState(sizeof m, &m), DI_OK);
    EXPECT_EQ(m.rgbButtons[0], 0x80);
    ASSERT_EQ(mouse->GetDeviceState(sizeof m, &m), DI_OK);
    EXPECT_EQ(m.rgbButtons[0], 0x80);
}

// ------------------------------------------------------------ pads

// A pad without hardware: SDL's virtual game controller.
int AttachPad(const char* name) {
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = name;
    return SDL_JoystickAttachVirtualEx(&desc);
}

// The virtual pad's SDL joystick, opened by the test to drive it.
SDL_Joystick* DrivePad(int deviceIndex) { return SDL_JoystickOpen(deviceIndex); }

class SdlPadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
        di = CreateSDLDirectInput8();
        ASSERT_NE(di, nullptr);
        for (int i = 0; i < 2; ++i) {
            ASSERT_EQ(di->CreateDevice(i == 0 ? GUID_Joystick1 : GUID_Joystick2, pad[i]), DI_OK);
            EXPECT_EQ(pad[i]->SetDataFormat(c_dfDIKeyboard), DIERR_INVALIDPARAM);
            ASSERT_EQ(pad[i]->SetDataFormat(c_dfDIJoystick), DI_OK);
            ASSERT_EQ(pad[i]->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
            ASSERT_EQ(pad[i]->Acquire(), DI_OK);
        }
    }
    void TearDown() override {
        for (SDL_Joystick* j : drivers)
            if (j) SDL_JoystickClose(j);
        pad[0].reset();
        pad[1].reset();
        di.reset();
        SDL_Quit();
    }
    HRESULT Read(int slot) {
        SDL_PumpEvents();  // the host's event pump, once a tick
        return pad[slot]->GetDeviceState(sizeof state, &state);
    }
    // Attaches a pad and opens it for driving; returns its joystick.
    SDL_Joystick* Plug(const char* name) {
        const int index = AttachPad(name);
        EXPECT_GE(index, 0) << SDL_GetError();
        SDL_Joystick* j = DrivePad(index);
        EXPECT_NE(j, nullptr) << SDL_GetError();
        drivers.push_back(j);
        return j;
    }
    void Unplug(SDL_Joystick* j) {
        const SDL_JoystickID id = SDL_JoystickInstanceID(j);
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_JoystickGetDeviceInstanceID(i) == id) ASSERT_EQ(SDL_JoystickDetachVirtual(i), 0);
        for (auto& d : drivers)
            if (d == j) d = nullptr;
        SDL_JoystickClose(j);
    }

    std::shared_ptr<IDirectInput8> di;
    std::shared_ptr<IDirectInputDevice8> pad[2];
    std::vector<SDL_Joystick*> drivers;
    DIJOYSTATE state;
};

TEST_F(SdlPadTest, PadsFillTheirSlotsInPlugOrderAndKeepThemWhenOneLeaves) {
    EXPECT_EQ(Read(0), DIERR_UNPLUGGED) << "no pad yet";
    EXPECT_EQ(Read(1), DIERR_UNPLUGGED);

    SDL_Joystick* first = Plug("first");
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(Read(0), DI_OK);
    EXPECT_EQ(Read(1), DIERR_UNPLUGGED);
    SDL_Joystick* second = Plug("second");
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(Read(1), DI_OK);

    // Each slot reads its own pad.
    SDL_JoystickSetVirtualButton(second, SDL_CONTROLLER_BUTTON_START, 1);
    ASSERT_EQ(Read(1), DI_OK);
    EXPECT_EQ(state.rgbButtons[joy::START], 0x80);
    ASSERT_EQ(Read(0), DI_OK);
    EXPECT_EQ(state.rgbButtons[joy::START], 0);

    // Pad 1 leaves: pad 2 stays pad 2, and the next pad plugged in is pad 1.
    Unplug(first);
    EXPECT_EQ(Read(0), DIERR_UNPLUGGED);
    ASSERT_EQ(Read(1), DI_OK);
    EXPECT_EQ(state.rgbButtons[joy::START], 0x80);
    SDL_Joystick* third = Plug("third");
    SDL_JoystickSetVirtualButton(third, SDL_CONTROLLER_BUTTON_A, 1);
    ASSERT_EQ(Read(0), DI_OK);
    EXPECT_EQ(state.rgbButtons[joy::SOUTH], 0x80);
    Unplug(second);
    EXPECT_EQ(Read(1), DIERR_UNPLUGGED);
}

TEST_F(SdlPadTest, SticksDpadAndATapBetweenReads) {
    SDL_Joystick* j = Plug("pad");
    ASSERT_NE(j, nullptr);
    ASSERT_EQ(Read(0), DI_OK);
    EXPECT_EQ(state.lX, 0);
    EXPECT_EQ(state.rgdwPOV[0], kPovCentred);

    SDL_JoystickSetVirtualAxis(j, SDL_CONTROLLER_AXIS_LEFTX, 32767);
    SDL_JoystickSetVirtualAxis(j, SDL_CONTROLLER_AXIS_LEFTY, -16384);
    SDL_JoystickSetVirtualButton(j, SDL_CONTROLLER_BUTTON_DPAD_DOWN, 1);
    SDL_JoystickSetVirtualButton(j, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1);
    ASSERT_EQ(Read(0), DI_OK);
    EXPECT_EQ(state.lX, kJoyAxisRange);
    EXPECT_NEAR(state.lY, -kJoyAxisRange / 2, 1);
    EXPECT_EQ(state.rgbButtons[joy::DPAD_DOWN], 0x80);
    EXPECT_EQ(state.rgdwPOV[0], 22500u) << "down-left";

    // The south button pressed and let go between two reads.
    SDL_JoystickSetVirtualButton(j, SDL_CONTROLLER_BUTTON_A, 1);
    SDL_PumpEvents();
    SDL_JoystickSetVirtualButton(j, SDL_CONTROLLER_BUTTON_A, 0);
    ASSERT_EQ(Read(0), DI_OK);
    EXPECT_EQ(state.rgbButtons[joy::SOUTH], 0x80);
    ASSERT_EQ(Read(0), DI_OK);
    EXPECT_EQ(state.rgbButtons[joy::SOUTH], 0);
    EXPECT_EQ(pad[0]->GetDeviceState(16, &state), DIERR_INVALIDPARAM);
}

TEST(DIResultText, KnowsTheCodesTheDevicesReturn) {
    for (HRESULT hr : {DI_OK, DI_NOEFFECT, DIERR_INPUTLOST, DIERR_NOTACQUIRED, DIERR_OTHERAPPHASPRIO, DIERR_INVALIDPARAM,
                       DIERR_ACQUIRED, DIERR_UNSUPPORTED, DIERR_DEVICENOTREG})
        EXPECT_FALSE(DIResultText(hr).empty()) << hr;
    EXPECT_EQ(DIResultText(DIERR_INPUTLOST), "Access to the input device has been lost. It must be reacquired.");
    EXPECT_EQ(DIResultText(12345), "");
}

} // namespace
} // namespace rdv
