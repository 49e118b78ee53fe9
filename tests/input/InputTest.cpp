#include <gtest/gtest.h>

#include <SDL.h>

#include "core/Engine.h"
#include "core/Error.h"
#include "core/Subsystems.h"
#include "input/Input.h"
#include "platform/Clock.h"
#include "platform/HeadlessHost.h"
#include "platform/dinput/ScriptedInput.h"

namespace rdv {
namespace {

using Op = ScriptedDirectInput::Op;

class InputTest : public ::testing::Test {
protected:
    InputTest() {
        clock = std::make_shared<ManualClock>(5000);
        engine.platform.clock = clock;
        engine.platform.dinput = di;
        engine.mouseCapture = true;
        engine.aspectRatio = 4.0f / 3.0f;
        engine.log.SetCapture(&lines);
        // Player 1: arrows and space, Page Up / Page Down; player 2: W S A D, left Ctrl, Q, E.
        const Binding p1[7] = {{0, dik::UP}, {0, dik::DOWN}, {0, dik::RIGHT}, {0, dik::LEFT},
                               {0, dik::SPACE}, {0, dik::PRIOR}, {0, dik::NEXT}};
        const Binding p2[7] = {{0, dik::W}, {0, dik::S}, {0, dik::D}, {0, dik::A},
                               {0, dik::LCONTROL}, {0, dik::Q}, {0, dik::E}};
        for (int i = 0; i < 7; ++i) {
            engine.settings.bindings[i] = p1[i];
            engine.settings.bindings[7 + i] = p2[i];
        }
    }
    ~InputTest() override { StopInput(engine); }

    void Start() {
        StartInput(engine);
        ASSERT_NE(engine.input, nullptr);
        engine.input->bringToFront = [this](Engine&) {
            ++fronts;
            if (onFront) onFront();
        };
    }
    void Poll() { PollInput(engine); }

    Engine engine;
    std::shared_ptr<ManualClock> clock;
    std::shared_ptr<ScriptedDirectInput> di = std::make_shared<ScriptedDirectInput>();
    std::vector<Log::Line> lines;
    int fronts = 0;
    std::function<void()> onFront;
};

TEST_F(InputTest, StartCreatesBothDevicesForTheHostWindow) {
    Start();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].message, "Starting Input...");
    EXPECT_EQ(lines[0].colour, 2);
    const auto& kb = di->Record(GUID_SysKeyboard);
    const auto& ms = di->Record(GUID_SysMouse);
    EXPECT_TRUE(kb.acquired && ms.acquired);
    EXPECT_EQ(kb.format, c_dfDIKeyboard);
    EXPECT_EQ(ms.format, c_dfDIMouse);
    EXPECT_EQ(kb.flags, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    EXPECT_EQ(ms.flags, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
    EXPECT_EQ(engine.input->mouseSensitivity, 0.01f);

    StopInput(engine);
    EXPECT_FALSE(di->Record(GUID_SysKeyboard).alive);
    EXPECT_FALSE(di->Record(GUID_SysMouse).alive);
    EXPECT_EQ(di->Record(GUID_SysMouse).unacquireCalls, 1);

    // Without mouse capture (-m) the mouse is shared with the desktop.
    engine.mouseCapture = false;
    StartInput(engine);
    EXPECT_EQ(di->Record(GUID_SysMouse).flags, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
}

TEST_F(InputTest, RefusedAccessRetriesWithTheWindowBroughtToFront) {
    engine.input = std::make_shared<inpControl>(engine);
    int calls = 0;
    engine.input->bringToFront = [&](Engine&) {
        if (++calls == 3) di->GainFocus();
    };
    di->LoseFocus();
    StartInput(engine);
    EXPECT_EQ(calls, 3);
    EXPECT_TRUE(di->Record(GUID_SysKeyboard).acquired);
    EXPECT_TRUE(di->Record(GUID_SysMouse).acquired);
}

TEST_F(InputTest, RefusedAccessBringsTheHostFormToTheFront) {
    auto host = std::make_shared<HeadlessHost>();
    engine.platform.host = host;
    host->Show(HostForm::Windowed, 800, 600);
    engine.hostWindowHandle = host->Window(HostForm::Windowed);
    di->FailNext(GUID_SysKeyboard, Op::Acquire, DIERR_OTHERAPPHASPRIO, 2);
    StartInput(engine);
    EXPECT_TRUE(host->IsForeground(HostForm::Windowed));
    EXPECT_EQ(host->doEventsCount, 2);
    EXPECT_TRUE(di->Record(GUID_SysKeyboard).acquired);
}

TEST_F(InputTest, RefusedAccessBeyondTenSecondsIsFatal) {
    engine.input = std::make_shared<inpControl>(engine);
    int calls = 0;
    engine.input->bringToFront = [&](Engine&) {
        ++calls;
        clock->Advance(1000);
    };
    di->FailAlways(GUID_SysMouse, Op::Acquire, DIERR_OTHERAPPHASPRIO);
    try {
        StartInput(engine);
        FAIL() << "no error";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, 70);
        EXPECT_EQ(e.source, "Engine->InitInput");
        EXPECT_EQ(e.description,
                  "Couldn't acquire input devices - check if the application has the necessary permissions and if "
                  "other programs are running");
    }
    EXPECT_EQ(calls, 10);
}

TEST_F(InputTest, OtherStartFailuresKeepTheirNumber) {
    di->FailNext(GUID_SysMouse, Op::CreateDevice, DIERR_DEVICENOTREG);
    try {
        StartInput(engine);
        FAIL() << "no error";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, DIERR_DEVICENOTREG);
        EXPECT_EQ(e.source, "Engine->InitInput");
        EXPECT_EQ(e.description, DIResultText(DIERR_DEVICENOTREG));
    }
    di->FailNext(GUID_SysKeyboard, Op::SetCooperativeLevel, DIERR_INVALIDPARAM);
    try {
        StartInput(engine);
        FAIL() << "no error";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, 5);
        EXPECT_EQ(e.description, "Invalid procedure call or argument");
    }
    EXPECT_EQ(InputErrorNumber(DIERR_OUTOFMEMORY), 7);
    EXPECT_EQ(InputErrorNumber(DIERR_NOINTERFACE), 430);
    EXPECT_EQ(InputErrorNumber(DIERR_UNSUPPORTED), 445);
}

TEST_F(InputTest, PollReadsKeysForTheMainLoop) {
    EXPECT_FALSE(KeyDown(engine, dik::F12));  // before start: nothing is down
    PollInput(engine);
    Start();
    di->KeyDown(dik::F12);
    Poll();
    EXPECT_TRUE(KeyDown(engine, 0x58));
    EXPECT_EQ(engine.input->KeyState()[0x58], 0x80);
    EXPECT_FALSE(KeyDown(engine, 300));
    di->KeyUp(dik::F12);
    Poll();
    EXPECT_FALSE(KeyDown(engine, 0x58));
}

TEST_F(InputTest, CursorFollowsTheMouseWithinItsLimits) {
    Start();
    di->MoveMouse(50, 20);
    Poll();
    EXPECT_FLOAT_EQ(engine.input->cursorX, 0.5f);
    EXPECT_FLOAT_EQ(engine.input->cursorY, -0.2f);  // mouse down moves the cursor down
    di->MoveMouse(100000, -100000);
    Poll();
    EXPECT_FLOAT_EQ(engine.input->cursorX, 4.0f / 3.0f);
    EXPECT_FLOAT_EQ(engine.input->cursorY, 1.0f);
    di->MoveMouse(-1000000, 1000000);
    Poll();
    EXPECT_FLOAT_EQ(engine.input->cursorX, -4.0f / 3.0f);
    EXPECT_FLOAT_EQ(engine.input->cursorY, -1.0f);
    // A wider mode widens the range on the next poll.
    engine.aspectRatio = 16.0f / 9.0f;
    di->MoveMouse(-1000, 0);
    Poll();
    EXPECT_FLOAT_EQ(engine.input->cursorX, -16.0f / 9.0f);
}

// Departs from the original: input is cleared when the window loses focus.
TEST_F(InputTest, FocusLossReacquiresAndHoldsNothing) {
    Start();
    di->KeyDown(dik::UP);
    di->MoveMouse(30, 0);
    Poll();
    EXPECT_EQ(GetControls(engine, 0).X, 1.0f);
    const float x = engine.input->cursorX;
    const int acquires = di->Record(GUID_SysKeyboard).acquireCalls;

    di->LoseFocus();
    di->MoveMouse(30, 0);
    Poll();  // read fails: re-acquire (refused while in the background)
    EXPECT_EQ(di->Record(GUID_SysKeyboard).acquireCalls, acquires + 1);
    EXPECT_EQ(di->Record(GUID_SysMouse).acquireCalls, acquires + 1);
    EXPECT_EQ(GetControls(engine, 0), ControlRecord{});
    EXPECT_FALSE(IsBindingDown(engine, {kBindMouse, kMouseRight}));
    EXPECT_EQ(engine.input->cursorX, x);
    Poll();
    EXPECT_FALSE(di->Record(GUID_SysKeyboard).acquired);

    di->GainFocus();
    Poll();  // still not acquired: this poll's failure re-acquires
    EXPECT_TRUE(di->Record(GUID_SysKeyboard).acquired);
    EXPECT_TRUE(di->Record(GUID_SysMouse).acquired);
    Poll();
    EXPECT_EQ(GetControls(engine, 0).X, 1.0f);
}

TEST_F(InputTest, ControlRecordsComeFromEachPlayersBindings) {
    Start();
    di->KeyDown(dik::UP);
    di->KeyDown(dik::LEFT);
    di->KeyDown(dik::NEXT);
    di->KeyDown(dik::S);
    di->KeyDown(dik::LCONTROL);
    Poll();
    ControlRecord p1 = GetControls(engine, 0);
    EXPECT_EQ(p1.X, 1.0f);
    EXPECT_EQ(p1.Y, -1.0f);
    EXPECT_FALSE(p1.ButtonA);
    EXPECT_FALSE(p1.ButtonB);
    EXPECT_TRUE(p1.ButtonC);
    EXPECT_FALSE(p1.Unused);
    ControlRecord p2 = GetControls(engine, 1);
    EXPECT_EQ(p2.X, -1.0f);
    EXPECT_EQ(p2.Y, 0.0f);
    EXPECT_TRUE(p2.ButtonA);

    // Both keys of an axis cancel out.
    di->KeyDown(dik::DOWN);
    di->KeyDown(dik::RIGHT);
    di->KeyDown(dik::SPACE);
    Poll();
    p1 = GetControls(engine, 0);
    EXPECT_EQ(p1.X, 0.0f);
    EXPECT_EQ(p1.Y, 0.0f);
    EXPECT_TRUE(p1.ButtonA);
    EXPECT_TRUE(p1.Unused == false);

    // There are bindings for two players only.
    EXPECT_EQ(GetControls(engine, 2), ControlRecord{});
    EXPECT_EQ(GetControls(engine, -1), ControlRecord{});
}

TEST_F(InputTest, MouseBindingsAreDownOnlyWhileTheyHappen) {
    Start();
    engine.settings.bindings[0] = {kBindMouse, kMouseRight};
    engine.settings.bindings[1] = {kBindMouse, kMouseLeft};
    engine.settings.bindings[4] = {kBindMouse, static_cast<uint8_t>(kMouseButton0 + 1)};
    di->MoveMouse(3, -2, kWheelDelta);
    di->SetButton(1, true);
    Poll();
    EXPECT_EQ(GetControls(engine, 0).X, 1.0f);
    EXPECT_TRUE(GetControls(engine, 0).ButtonA);
    EXPECT_TRUE(IsBindingDown(engine, {kBindMouse, kMouseUp}));
    EXPECT_FALSE(IsBindingDown(engine, {kBindMouse, kMouseDown}));
    EXPECT_TRUE(IsBindingDown(engine, {kBindMouse, kWheelUp}));
    EXPECT_FALSE(IsBindingDown(engine, {kBindMouse, kWheelDown}));
    EXPECT_TRUE(MouseButtonDown(engine, 1));
    EXPECT_FALSE(MouseButtonDown(engine, 4));
    Poll();  // no motion this tick
    EXPECT_EQ(GetControls(engine, 0).X, 0.0f);
    EXPECT_TRUE(GetControls(engine, 0).ButtonA);
    di->MoveMouse(-1, 0);
    Poll();
    EXPECT_EQ(GetControls(engine, 0).X, -1.0f);

    EXPECT_FALSE(IsBindingDown(engine, {kBindMouse, 10}));
    EXPECT_FALSE(IsBindingDown(engine, {kBindJoystick, 0})) << "no pad plugged in";
    EXPECT_FALSE(IsBindingDown(engine, {kBindNone, 0}));
    EXPECT_EQ(BindingValue(engine, {kBindMouse, static_cast<uint8_t>(kMouseButton0 + 1)}), 1.0f);
}

TEST_F(InputTest, FirstPressedBindingScansFromCodeZero) {
    Start();
    Poll();
    Binding none = FirstPressedBinding(engine);
    EXPECT_EQ(none.device, kBindNone);
    EXPECT_EQ(none.code, 0);
    di->KeyDown(dik::SPACE);
    di->KeyDown(dik::Q);
    Poll();
    Binding b = FirstPressedBinding(engine);
    EXPECT_EQ(b.device, kBindKeyboard);
    EXPECT_EQ(b.code, dik::Q);
}

TEST_F(InputTest, QueuedFramesPlayOnePerPoll) {
    Start();
    ScriptedDirectInput::Frame a, b;
    a.down = {dik::SPACE};
    a.dx = 10;
    b.up = {dik::SPACE};
    b.buttons[0] = 1;
    di->QueueFrame(a);
    di->QueueFrame(b);
    Poll();
    EXPECT_TRUE(GetControls(engine, 0).ButtonA);
    EXPECT_FLOAT_EQ(engine.input->cursorX, 0.1f);
    Poll();
    EXPECT_FALSE(GetControls(engine, 0).ButtonA);
    EXPECT_TRUE(MouseButtonDown(engine, 0));
    EXPECT_EQ(di->QueuedFrames(), 0u);
}

TEST_F(InputTest, ATapBetweenTwoPollsIsSeenOnceThenTheRelease) {
    Start();
    Poll();
    // Key and button pressed and let go between polls, as a quick hand does.
    di->KeyDown(dik::SPACE);
    di->KeyUp(dik::SPACE);
    di->SetButton(0, true);
    di->SetButton(0, false);
    Poll();
    EXPECT_TRUE(GetControls(engine, 0).ButtonA);
    EXPECT_TRUE(MouseButtonDown(engine, 0));
    EXPECT_EQ(FirstPressedBinding(engine).code, dik::SPACE);
    Poll();
    EXPECT_FALSE(GetControls(engine, 0).ButtonA);
    EXPECT_FALSE(MouseButtonDown(engine, 0));
    // A frame that presses and releases the same key within one poll.
    ScriptedDirectInput::Frame tap;
    tap.down = {dik::ESCAPE};
    tap.up = {dik::ESCAPE};
    di->QueueFrame(tap);
    Poll();
    EXPECT_TRUE(KeyDown(engine, dik::ESCAPE));
    Poll();
    EXPECT_FALSE(KeyDown(engine, dik::ESCAPE));
    // A reset of the script forgets the taps too.
    di->KeyDown(dik::Q);
    di->ReleaseAll();
    Poll();
    EXPECT_FALSE(KeyDown(engine, dik::Q));
}

TEST_F(InputTest, PadsSteerTheirPlayersAlongsideTheKeys) {
    Start();
    di->PlugPad(0);
    di->PlugPad(1);
    Poll();
    EXPECT_TRUE(engine.input->PadPlugged(0));
    EXPECT_EQ(GetControls(engine, 0), ControlRecord{});

    // Pad 1, stick forward and turned right past half way: player 1 only.
    di->SetPadStick(0, 100, -900);
    Poll();
    EXPECT_FLOAT_EQ(GetControls(engine, 0).X, 1.0f);
    EXPECT_FLOAT_EQ(GetControls(engine, 0).Y, 0.0f) << "a slight tilt is no turn";
    EXPECT_EQ(GetControls(engine, 1), ControlRecord{});
    di->SetPadStick(0, 800, 0);
    Poll();
    EXPECT_FLOAT_EQ(GetControls(engine, 0).Y, 1.0f);
    EXPECT_FLOAT_EQ(GetControls(engine, 0).X, 0.0f);
    di->SetPadStick(0, 0, 0);

    // Pad 2: d-pad back and left, south jumps, shoulders step the cameras.
    di->SetPadButton(1, joy::DPAD_DOWN, true);
    di->SetPadButton(1, joy::DPAD_LEFT, true);
    di->SetPadButton(1, joy::SOUTH, true);
    di->SetPadButton(1, joy::LEFTSHOULDER, true);
    Poll();
    ControlRecord two = GetControls(engine, 1);
    EXPECT_FLOAT_EQ(two.X, -1.0f);
    EXPECT_FLOAT_EQ(two.Y, -1.0f);
    EXPECT_TRUE(two.ButtonA && two.ButtonB && !two.ButtonC && !two.Unused);
    EXPECT_EQ(GetControls(engine, 0), ControlRecord{});

    // Alongside the keys: the key forward and the pad back cancel out.
    di->KeyDown(dik::W);
    di->SetPadButton(1, joy::RIGHTSHOULDER, true);
    Poll();
    two = GetControls(engine, 1);
    EXPECT_FLOAT_EQ(two.X, 0.0f);
    EXPECT_TRUE(two.ButtonC);

    // A joystick binding reports the pad it names.
    EXPECT_TRUE(IsBindingDown(engine, PadBinding(1, CtlButtonA)));
    EXPECT_FALSE(IsBindingDown(engine, PadBinding(0, CtlButtonA)));
    EXPECT_TRUE(IsBindingDown(engine, {kBindJoystick, uint8_t(kPadCodes + kPadButton0 + joy::LEFTSHOULDER)}));
    EXPECT_EQ(BindingName(PadBinding(0, CtlPosX)), "Joy");

    // Unplugged, nothing of it stays held.
    di->PlugPad(1, false);
    Poll();
    EXPECT_FALSE(engine.input->PadPlugged(1));
    EXPECT_FALSE(IsBindingDown(engine, PadBinding(1, CtlButtonA)));
    EXPECT_FLOAT_EQ(GetControls(engine, 1).X, 1.0f) << "the key still works";
}

TEST_F(InputTest, OnTheMenuAPadMovesTheCursorAndClicksInsteadOfSteering) {
    Start();
    di->PlugPad(1);  // the second pad works the menu as well
    Poll();
    engine.input->padsOnMenu = true;
    engine.input->cursorX = engine.input->cursorY = 0;
    di->SetPadStick(1, kJoyAxisRange, 0);
    clock->Advance(100);
    Poll();
    EXPECT_NEAR(engine.input->cursorX, 0.15f, 1e-5) << "full tilt for 0.1 s";
    EXPECT_EQ(GetControls(engine, 1), ControlRecord{}) << "the ball is not steered meanwhile";
    di->SetPadStick(1, 100, 0);  // inside the dead zone
    clock->Advance(100);
    Poll();
    EXPECT_NEAR(engine.input->cursorX, 0.15f, 1e-5);
    di->SetPadStick(1, 0, 0);
    di->SetPadButton(1, joy::DPAD_UP, true);
    clock->Advance(5000);  // a stall moves it no further than 0.1 s would
    Poll();
    EXPECT_NEAR(engine.input->cursorY, 0.15f, 1e-5);
    // A tap of the south button between polls is the menu's click.
    di->SetPadButton(1, joy::SOUTH, true);
    di->SetPadButton(1, joy::SOUTH, false);
    Poll();
    EXPECT_TRUE(engine.input->MenuClickDown());
    Poll();
    EXPECT_FALSE(engine.input->MenuClickDown());
}

TEST(BindingName, LettersDigitsAndCodes) {
    EXPECT_EQ(BindingName({0, 16}), "Q");
    EXPECT_EQ(BindingName({0, 25}), "P");
    EXPECT_EQ(BindingName({0, 30}), "A");
    EXPECT_EQ(BindingName({0, 38}), "L");
    EXPECT_EQ(BindingName({0, 44}), "Z");
    EXPECT_EQ(BindingName({0, 50}), "M");
    EXPECT_EQ(BindingName({0, 2}), "1");
    EXPECT_EQ(BindingName({0, 11}), "0");
    EXPECT_EQ(BindingName({0, 57}), "#57");
    EXPECT_EQ(BindingName({0, 26}), "#26");
    EXPECT_EQ(BindingName({0, 0}), "#0");
    EXPECT_EQ(BindingName({0, 200}), "#200");
    EXPECT_EQ(BindingName({kBindMouse, 6}), "");
    EXPECT_EQ(BindingName({kBindJoystick, 3}), "Joy");
    EXPECT_EQ(BindingName({kBindNone, 0}), "");
}

TEST(InputOnSdl, StartsHeadlessWithoutWaitingForFocus) {
    // No window and no focus (offscreen): start-up must not wait, and polls
    // fail quietly with nothing held.
    Engine engine;
    auto clock = std::make_shared<ManualClock>(0);
    engine.platform.clock = clock;
    engine.mouseCapture = true;
    StartInput(engine);
    ASSERT_NE(engine.platform.dinput, nullptr);
    PollInput(engine);
    PollInput(engine);
    EXPECT_FALSE(KeyDown(engine, dik::F12));
    StopInput(engine);
}

TEST(InputOnSdl, APadPluggedInMidGameSteersPlayerOneUntilUnplugged) {
    Engine engine;
    engine.platform.clock = std::make_shared<ManualClock>(0);
    StartInput(engine);
    ASSERT_TRUE(SDL_WasInit(SDL_INIT_GAMECONTROLLER)) << "the SDL source opens pads";
    SDL_Event focus{};
    focus.type = SDL_WINDOWEVENT;
    focus.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    ASSERT_GE(SDL_PushEvent(&focus), 0);
    PollInput(engine);  // re-acquires what start-up could not without focus
    PollInput(engine);
    EXPECT_FALSE(engine.input->PadPlugged(0));

    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = "virtual pad";
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    ASSERT_GE(index, 0) << SDL_GetError();
    SDL_Joystick* stick = SDL_JoystickOpen(index);
    ASSERT_NE(stick, nullptr) << SDL_GetError();
    SDL_JoystickSetVirtualAxis(stick, SDL_CONTROLLER_AXIS_LEFTY, -32768);
    SDL_JoystickSetVirtualButton(stick, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 1);
    SDL_PumpEvents();
    PollInput(engine);
    EXPECT_TRUE(engine.input->PadPlugged(0));
    ControlRecord one = GetControls(engine, 0);
    EXPECT_FLOAT_EQ(one.X, 1.0f);
    EXPECT_TRUE(one.ButtonC);
    EXPECT_EQ(GetControls(engine, 1), ControlRecord{});

    SDL_JoystickClose(stick);
    ASSERT_EQ(SDL_JoystickDetachVirtual(index), 0);
    SDL_PumpEvents();
    PollInput(engine);
    EXPECT_FALSE(engine.input->PadPlugged(0));
    EXPECT_EQ(GetControls(engine, 0), ControlRecord{});
    StopInput(engine);
}

} // namespace
} // namespace rdv
