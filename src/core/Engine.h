#pragma once
// The one program-wide object: it owns the subsystems and the state that
// the engine shares between them. main creates it; tests create their own.
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/Log.h"
#include "core/Settings.h"
#include "platform/d3dx/D3DX8Math.h"

struct SDL_Window;

namespace rdv {

// Platform stand-ins (src/platform). Each is an interface so that the game
// runs on SDL/GL and tests on recording and scripted versions.
class IClock;
class ITerminal;
class IHost;            // host windows, event pump, message boxes, system info
enum class HostForm : int;  // platform/Host.h
class IDirect3D8;       // Direct3D 8 adapter/factory
class IDirectInput8;    // keyboard and mouse
class IDirectSound8;    // the sound device

// Subsystems.
class engPackage;       // package archives and data files
class inpControl;       // input devices, bindings, control records
class gfxCore;          // device, frame, resource tables
class gfxLightMap;      // the current level's lights
class sndCore;          // audio plug-in and music
class engLibrary;       // language and campaign catalogues
class engGame;          // game flow, levels, menu
class engRegistry;      // level object classes and the shared static tiles

struct Platform {
    std::shared_ptr<IClock> clock;
    std::shared_ptr<ITerminal> terminal;
    std::shared_ptr<IHost> host;
    std::shared_ptr<IDirect3D8> d3d;
    std::shared_ptr<IDirectInput8> dinput;
    std::shared_ptr<IDirectSound8> dsound;
};

class Engine {
public:
    Engine() = default;
    // The game goes first: its level hands the shared light map back to
    // `lightMap` when it is destroyed, so that member must still be alive.
    ~Engine() { game.reset(); }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Where the executable lives: data, maps, models ... are below it.
    std::filesystem::path programFolder;
    // Where the player's files go when the program folder cannot take them
    // (core/UserFolder.h); empty: they stay in the program folder.
    std::filesystem::path userFolder;
    // The process arguments joined by single blanks.
    std::string commandLine;

    Platform platform;

    Log log;
    CommandFlags flags;
    Settings settings;

    bool running = false;
    bool reboot = false;

    // The host window chosen by LoadSettings (an SDL window created with
    // SDL_WINDOW_OPENGL); graphics and input use it as their owner window.
    SDL_Window* hostWindowHandle = nullptr;
    // Which host form that is (none until LoadSettings has shown one).
    std::optional<HostForm> hostWindow;
    // The graphics module answers the display mode selected in its mode
    // list (SaveSettings stores it); unset or false: the settings' own size.
    std::function<bool(int& width, int& height)> selectedDisplayMode;
    // The game answers whether its menu is open (it sets this when it is
    // made); the editor's camera and cursor stand still under the menu.
    // Unset: no game, so no menu.
    std::function<bool()> isMenuOpen;
    // Set by LoadSettings: the input module captures the mouse when true.
    bool mouseCapture = false;
    // Width / height of the selected display mode: graphics sets it, the
    // input cursor is clamped to [-aspectRatio, aspectRatio] x [-1, 1].
    float aspectRatio = 4.0f / 3.0f;

    // Every random number of the game comes from here, so runs replay.
    std::mt19937 rng{1};

    // Shared results and texts the original kept as globals.
    D3DXVECTOR3 ParsedVector{};
    std::string CurrentSubtitle;
    // The view of each player (cameras/View.h SetPlayerView fills it) and
    // the player whose view is being drawn (game flow sets it).
    struct PlayerView {
        D3DXMATRIX view = MatrixIdentity();
        D3DXVECTOR3 eye{0, 0, 0};
        D3DXVECTOR3 lookAt{0, 0, 1};
    };
    std::array<PlayerView, 2> playerViews{};
    int32_t currentPlayer = 0;
    std::vector<std::string> languageStrings;  // 92 entries once loaded

    // Subsystems, created by the reboot loop (or by a test).
    std::shared_ptr<engPackage> packages;
    std::shared_ptr<inpControl> input;
    std::shared_ptr<gfxCore> gfx;
    std::shared_ptr<sndCore> sound;
    std::shared_ptr<engLibrary> library;
    std::shared_ptr<engGame> game;
    // Level object factories and the 26 static tile objects
    // (level/Registry.h); the game installs its classes here.
    std::shared_ptr<engRegistry> registry;

    // The light map of the current level (the level sets it when it loads);
    // light-mapped models apply it when drawn. Empty: no level lights.
    std::shared_ptr<gfxLightMap> lightMap;
};

} // namespace rdv
