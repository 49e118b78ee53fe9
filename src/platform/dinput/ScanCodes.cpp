// SDL scancodes (USB usage codes) to DirectInput scan codes (set-1 make
// codes, 0x80 added for the extended E0 keys), and the DirectInput result texts.
#include <SDL_scancode.h>

#include "platform/dinput/DInput8.h"

namespace rdv {

uint8_t SdlScancodeToDik(int sdlScancode) {
    // Letters and digits run in order in both code sets, but DirectInput
    // follows the keyboard rows, so letters need a row table.
    static constexpr uint8_t kLetters[26] = {
        dik::A, dik::B, dik::C, dik::D, dik::E, dik::F, dik::G, dik::H, dik::I, dik::J, dik::K, dik::L, dik::M,
        dik::N, dik::O, dik::P, dik::Q, dik::R, dik::S, dik::T, dik::U, dik::V, dik::W, dik::X, dik::Y, dik::Z};
    if (sdlScancode >= SDL_SCANCODE_A && sdlScancode <= SDL_SCANCODE_Z) return kLetters[sdlScancode - SDL_SCANCODE_A];
    if (sdlScancode >= SDL_SCANCODE_1 && sdlScancode <= SDL_SCANCODE_0)
        return static_cast<uint8_t>(dik::K1 + (sdlScancode - SDL_SCANCODE_1));
    if (sdlScancode >= SDL_SCANCODE_F1 && sdlScancode <= SDL_SCANCODE_F10)
        return static_cast<uint8_t>(dik::F1 + (sdlScancode - SDL_SCANCODE_F1));

    switch (sdlScancode) {
    case SDL_SCANCODE_RETURN: return dik::RETURN;
    case SDL_SCANCODE_ESCAPE: return dik::ESCAPE;
    case SDL_SCANCODE_BACKSPACE: return dik::BACK;
    case SDL_SCANCODE_TAB: return dik::TAB;
    case SDL_SCANCODE_SPACE: return dik::SPACE;
    case SDL_SCANCODE_MINUS: return dik::MINUS;
    case SDL_SCANCODE_EQUALS: return dik::EQUALS;
    case SDL_SCANCODE_LEFTBRACKET: return dik::LBRACKET;
    case SDL_SCANCODE_RIGHTBRACKET: return dik::RBRACKET;
    case SDL_SCANCODE_BACKSLASH: return dik::BACKSLASH;
    case SDL_SCANCODE_NONUSHASH: return dik::BACKSLASH;  // same key position on ISO boards
    case SDL_SCANCODE_SEMICOLON: return dik::SEMICOLON;
    case SDL_SCANCODE_APOSTROPHE: return dik::APOSTROPHE;
    case SDL_SCANCODE_GRAVE: return dik::GRAVE;
    case SDL_SCANCODE_COMMA: return dik::COMMA;
    case SDL_SCANCODE_PERIOD: return dik::PERIOD;
    case SDL_SCANCODE_SLASH: return dik::SLASH;
    case SDL_SCANCODE_CAPSLOCK: return dik::CAPITAL;
    case SDL_SCANCODE_F11: return dik::F11;
    case SDL_SCANCODE_F12: return dik::F12;
    case SDL_SCANCODE_F13: return dik::F13;
    case SDL_SCANCODE_F14: return dik::F14;
    case SDL_SCANCODE_F15: return dik::F15;
    case SDL_SCANCODE_PRINTSCREEN: return dik::SYSRQ;
    case SDL_SCANCODE_SYSREQ: return dik::SYSRQ;
    case SDL_SCANCODE_SCROLLLOCK: return dik::SCROLL;
    case SDL_SCANCODE_PAUSE: return dik::PAUSE;
    case SDL_SCANCODE_INSERT: return dik::INSERT;
    case SDL_SCANCODE_HOME: return dik::HOME;
    case SDL_SCANCODE_PAGEUP: return dik::PRIOR;
    case SDL_SCANCODE_DELETE: return dik::DELETE_;
    case SDL_SCANCODE_END: return dik::END;
    case SDL_SCANCODE_PAGEDOWN: return dik::NEXT;
    case SDL_SCANCODE_RIGHT: return dik::RIGHT;
    case SDL_SCANCODE_LEFT: return dik::LEFT;
    case SDL_SCANCODE_DOWN: return dik::DOWN;
    case SDL_SCANCODE_UP: return dik::UP;
    case SDL_SCANCODE_NUMLOCKCLEAR: return dik::NUMLOCK;
    case SDL_SCANCODE_KP_DIVIDE: return dik::DIVIDE;
    case SDL_SCANCODE_KP_MULTIPLY: return dik::MULTIPLY;
    case SDL_SCANCODE_KP_MINUS: return dik::SUBTRACT;
    case SDL_SCANCODE_KP_PLUS: return dik::ADD;
    case SDL_SCANCODE_KP_ENTER: return dik::NUMPADENTER;
    case SDL_SCANCODE_KP_1: return dik::NUMPAD1;
    case SDL_SCANCODE_KP_2: return dik::NUMPAD2;
    case SDL_SCANCODE_KP_3: return dik::NUMPAD3;
    case SDL_SCANCODE_KP_4: return dik::NUMPAD4;
    case SDL_SCANCODE_KP_5: return dik::NUMPAD5;
    case SDL_SCANCODE_KP_6: return dik::NUMPAD6;
    case SDL_SCANCODE_KP_7: return dik::NUMPAD7;
    case SDL_SCANCODE_KP_8: return dik::NUMPAD8;
    case SDL_SCANCODE_KP_9: return dik::NUMPAD9;
    case SDL_SCANCODE_KP_0: return dik::NUMPAD0;
    case SDL_SCANCODE_KP_PERIOD: return dik::DECIMAL;
    case SDL_SCANCODE_KP_EQUALS: return dik::NUMPADEQUALS;
    case SDL_SCANCODE_KP_COMMA: return dik::NUMPADCOMMA;
    case SDL_SCANCODE_NONUSBACKSLASH: return dik::OEM_102;
    case SDL_SCANCODE_APPLICATION: return dik::APPS;
    case SDL_SCANCODE_MENU: return dik::APPS;
    case SDL_SCANCODE_POWER: return dik::POWER;
    case SDL_SCANCODE_SLEEP: return dik::SLEEP;
    case SDL_SCANCODE_STOP: return dik::STOP;
    case SDL_SCANCODE_MUTE: return dik::MUTE;
    case SDL_SCANCODE_AUDIOMUTE: return dik::MUTE;
    case SDL_SCANCODE_VOLUMEUP: return dik::VOLUMEUP;
    case SDL_SCANCODE_VOLUMEDOWN: return dik::VOLUMEDOWN;
    case SDL_SCANCODE_INTERNATIONAL1: return dik::ABNT_C1;   // Brazilian / Japanese "ro"
    case SDL_SCANCODE_INTERNATIONAL2: return dik::KANA;
    case SDL_SCANCODE_INTERNATIONAL3: return dik::YEN;
    case SDL_SCANCODE_INTERNATIONAL4: return dik::CONVERT;
    case SDL_SCANCODE_INTERNATIONAL5: return dik::NOCONVERT;
    case SDL_SCANCODE_LCTRL: return dik::LCONTROL;
    case SDL_SCANCODE_LSHIFT: return dik::LSHIFT;
    case SDL_SCANCODE_LALT: return dik::LMENU;
    case SDL_SCANCODE_LGUI: return dik::LWIN;
    case SDL_SCANCODE_RCTRL: return dik::RCONTROL;
    case SDL_SCANCODE_RSHIFT: return dik::RSHIFT;
    case SDL_SCANCODE_RALT: return dik::RMENU;
    case SDL_SCANCODE_RGUI: return dik::RWIN;
    case SDL_SCANCODE_AUDIONEXT: return dik::NEXTTRACK;
    case SDL_SCANCODE_AUDIOPREV: return dik::PREVTRACK;
    case SDL_SCANCODE_AUDIOSTOP: return dik::MEDIASTOP;
    case SDL_SCANCODE_AUDIOPLAY: return dik::PLAYPAUSE;
    case SDL_SCANCODE_MEDIASELECT: return dik::MEDIASELECT;
    case SDL_SCANCODE_WWW: return dik::WEBHOME;
    case SDL_SCANCODE_MAIL: return dik::MAIL;
    case SDL_SCANCODE_CALCULATOR: return dik::CALCULATOR;
    case SDL_SCANCODE_COMPUTER: return dik::MYCOMPUTER;
    case SDL_SCANCODE_AC_SEARCH: return dik::WEBSEARCH;
    case SDL_SCANCODE_AC_HOME: return dik::WEBHOME;
    case SDL_SCANCODE_AC_BACK: return dik::WEBBACK;
    case SDL_SCANCODE_AC_FORWARD: return dik::WEBFORWARD;
    case SDL_SCANCODE_AC_STOP: return dik::WEBSTOP;
    case SDL_SCANCODE_AC_REFRESH: return dik::WEBREFRESH;
    case SDL_SCANCODE_AC_BOOKMARKS: return dik::WEBFAVORITES;
    default: return 0;
    }
}

std::string DIResultText(HRESULT hr) {
    switch (hr) {
    case DI_OK: return "The operation completed successfully.";
    case DI_NOEFFECT: return "The operation had no effect.";
    case DIERR_ACQUIRED: return "The operation cannot be performed while the device is acquired.";
    case DIERR_DEVICENOTREG: return "The device or device instance is not registered with DirectInput.";
    case DIERR_GENERIC: return "An undetermined error occurred inside the DirectInput subsystem.";
    case DIERR_INPUTLOST: return "Access to the input device has been lost. It must be reacquired.";
    case DIERR_INVALIDPARAM:
        return "An invalid parameter was passed to the returning function, or the object was not in a state that "
               "permitted the function to be called.";
    case DIERR_NOINTERFACE: return "The object does not support the specified interface.";
    case DIERR_NOTACQUIRED: return "The operation cannot be performed unless the device is acquired.";
    case DIERR_NOTINITIALIZED: return "This object has not been initialized.";
    case DIERR_OBJECTNOTFOUND: return "The requested object does not exist.";
    case DIERR_OTHERAPPHASPRIO:
        return "Another application has a higher priority level, preventing this call from succeeding.";
    case DIERR_OUTOFMEMORY: return "The DirectInput subsystem couldn't allocate sufficient memory to complete the call.";
    case DIERR_UNSUPPORTED: return "The function called is not supported at this time.";
    default: return {};
    }
}

} // namespace rdv
