#include "game/Game.h"

#include <algorithm>

#include "cameras/View.h"
#include "core/Engine.h"
#include "core/Error.h"
#include "game/BuiltClasses.h"
#include "graphics/Core.h"
#include "graphics/Model.h"
#include "input/Input.h"
#include "level/Level.h"
#include "level/Object.h"
#include "packages/Package.h"
#include "packages/Parse.h"
#include "platform/Clock.h"

namespace rdv {

namespace {

constexpr int kEscape = 0x01;
constexpr int32_t kViewAlternation = 3000;

IDirect3DDevice8* Device(Engine& engine) { return engine.gfx ? engine.gfx->Device() : nullptr; }

MenuInput ReadEngineInput(Engine& engine) {
    MenuInput in;
    in.esc = KeyDown(engine, kEscape);
    in.left = MouseButtonDown(engine, 0);
    in.right = MouseButtonDown(engine, 1);
    if (inpControl* input = Input(engine)) {
        // A pad's Start and south button work the menu as Esc and the left button.
        in.esc = input->MenuBackDown();
        in.left = input->MenuClickDown();
        in.cursorX = input->cursorX;
        in.cursorY = input->cursorY;
        in.wheel = input->MouseState().lZ;
        input->padsOnMenu = Game(engine).menuOpen;
    }
    return in;
}

} // namespace

engGame& Game(Engine& engine) {
    if (!engine.game) engine.game = std::make_shared<engGame>(engine);
    return *engine.game;
}

engGame::engGame(Engine& engine) : engine_(engine) {
    readInput = [this] { return ReadEngineInput(engine_); };
    // Asked through the engine's game, so the answer follows whichever game
    // the engine holds (none: closed).
    engine_.isMenuOpen = [&engine] { return engine.game && engine.game->menuOpen; };
    // The levels this game reads are made of its classes.
    InstallBuiltClasses(engine_);
    const D3DXVECTOR3 up{0, 0, 1};
    for (int p = 0; p < 2; ++p) SetPlayerView(engine_, {-2, 0, 0}, {0, 0, 0}, up, p);
    const D3DXVECTOR3 origin{0, 0, 0}, ahead{1, 0, 0};
    D3DXMatrixLookAtLH(&menuView, &origin, &ahead, &up);
}

engGame::~engGame() = default;

uint32_t engGame::Now() {
    return engine_.platform.clock ? engine_.platform.clock->GetTickCount() : 0;
}

void engGame::ReplaceLevel(const std::string& name) {
    auto next = std::make_shared<engLevel>(engine_);
    currentLevelName = name;
    next->LoadLevel(name);
    // The countdown resets its reason before calling the hook, so the hook
    // reads the reason the level ended with from the frame that ran it.
    engLevel* raw = next.get();
    next->loadNext = [this, raw] {
        if (campaign) campaign->LoadNext(raw->EndReason() != 0 ? raw->EndReason() : endingReason_);
    };
    retired_ = std::move(level);
    level = std::move(next);
    // The loading screen is next drawn at the next load.
    if (engine_.gfx) engine_.gfx->ParkModelTextures(loaderModel);
    for (int p = 0; p < 2; ++p)
        SetPlayerView(engine_, engLevel::kStartEye, engLevel::kStartLookAt, engLevel::kStartUp, p);
    AdoptLevelViewMode();
}

void engGame::AdoptLevelViewMode() {
    viewMode = level ? static_cast<uint8_t>(level->dualMode) : 0;
}

void engGame::SetupViewports() {
    const int32_t w = std::max(engine_.settings.width, 1), h = std::max(engine_.settings.height, 2);
    const auto half = static_cast<DWORD>(RoundHalfEven(h / 2.0));
    viewports[0] = D3DVIEWPORT8{0, 0, DWORD(w), DWORD(h), 0.0f, 1.0f};
    viewports[1] = D3DVIEWPORT8{0, 0, DWORD(w), half, 0.0f, 1.0f};
    viewports[2] = D3DVIEWPORT8{0, half, DWORD(w), half, 0.0f, 1.0f};
    SetViewport(0);
    previousViewMode = 0;
}

void engGame::SetViewport(int32_t index) {
    currentViewport = index;
    if (IDirect3DDevice8* dev = Device(engine_)) dev->SetViewport(&viewports[index]);
}

void engGame::MenuCamera() {
    IDirect3DDevice8* dev = Device(engine_);
    if (!dev) return;
    dev->SetTransform(D3DTS_VIEW, &menuView);
    dev->SetRenderState(D3DRS_ZENABLE, 0);
    if (engine_.gfx->levelFog) {
        dev->SetRenderState(D3DRS_FOGENABLE, 0);
        dev->SetRenderState(D3DRS_FOGDENSITY, 0);
        dev->SetRenderState(D3DRS_FOGVERTEXMODE, 0);
    }
}

void engGame::RenderView(int32_t& elapsed) {
    if (IDirect3DDevice8* dev = Device(engine_)) {
        dev->SetTransform(D3DTS_VIEW, &engine_.playerViews[size_t(engine_.currentPlayer)].view);
        dev->SetRenderState(D3DRS_ZENABLE, 1);
    }
    const D3DXVECTOR3& eye = engine_.playerViews[size_t(engine_.currentPlayer)].eye;
    const D3DXVECTOR3& at = engine_.playerViews[size_t(engine_.currentPlayer)].lookAt;
    cameraDirection = D3DXVECTOR3{at.x - eye.x, at.y - eye.y, at.z - eye.z};
    if (!level) return;
    // Kept alive through its own Tick, which may replace it.
    std::shared_ptr<engLevel> running = level;
    running->viewDirection = cameraDirection;
    if (running->EndReason() != 0) endingReason_ = running->EndReason();
    running->Tick(elapsed);
}

void engGame::TickAndRender() {
    int32_t elapsed = static_cast<int32_t>(now_ - lastTickTime);
    RenderView(elapsed);
    lastTickTime += static_cast<uint32_t>(elapsed);
}

void engGame::TwoViewStep() {
    // Both halves share the elapsed time: never split less than 2 ms.
    while (static_cast<int32_t>(now_ - lastTickTime) < 2) now_ = Now();
    const int32_t elapsed = static_cast<int32_t>(now_ - lastTickTime);
    int32_t first = RoundHalfEven(elapsed / 2.0);
    int32_t rest = elapsed - first;
    SetViewport(1);
    engine_.currentPlayer = 0;
    RenderView(first);
    lastTickTime += static_cast<uint32_t>(first);
    SetViewport(2);
    engine_.currentPlayer = 1;
    RenderView(rest);
    lastTickTime += static_cast<uint32_t>(rest);
    SetViewport(0);
}

void engGame::Frame() {
    retired_.reset();
    now_ = Now();
    const int32_t elapsed = static_cast<int32_t>(now_ - lastTickTime);
    in = readInput ? readInput() : MenuInput{};

    if (viewMode != previousViewMode) {
        previousViewMode = viewMode;
        switch (viewMode) {
        case 0: SetViewport(0); engine_.currentPlayer = 0; TickAndRender(); break;
        case 1: SetViewport(1); engine_.currentPlayer = 0; viewMode = 2; TickAndRender(); break;
        case 2: SetViewport(2); engine_.currentPlayer = 1; viewMode = 1; TickAndRender(); break;
        case 3: SetViewport(0); engine_.currentPlayer = 0; TickAndRender(); break;
        case 4: SetViewport(0); engine_.currentPlayer = 1; TickAndRender(); break;
        default: TwoViewStep(); break;
        }
    } else if (viewMode <= 4) {
        TickAndRender();
    } else {
        TwoViewStep();
    }

    const bool interlacing = engine_.settings.interlacing;
    if (menuOpen) {
        if (!in.esc && !in.left && !in.right) clickConsumed = false;
        MenuCamera();
        MenuPage(engine_);
        if (in.esc && !clickConsumed) {
            menuOpen = false;
            menuPage = 0;
            clickConsumed = true;
            if (viewMode != 0 && interlacing) viewMode = 1;
        }
        if (menuOpen && viewMode >= 1 && viewMode <= 4) {
            viewTimer -= elapsed;
            if (viewTimer < 0) {
                viewTimer = kViewAlternation;
                viewMode = (viewMode % 2 == 1) ? 4 : 3;
            }
        }
    } else if (in.esc) {
        if (!clickConsumed) {
            menuOpen = true;
            menuPage = engine_.flags.editor ? 8 : 0;
            if (viewMode != 0 && interlacing) viewMode = 3;
            clickConsumed = true;
        }
    } else {
        if (!engine_.CurrentSubtitle.empty()) {
            MenuCamera();
            // The subtitle is placed in cursor units, so it sits at the
            // bottom of the screen: hence the menu-unit scale.
            TextBox(engine_, 0.0f, -0.95f * kMenuUnit, 0.1f * kMenuUnit,
                    ResolveTextReference(engine_, engine_.CurrentSubtitle), 40);
        }
        clickConsumed = false;
    }
    frameEndTime = Now();
}

} // namespace rdv
