// The game executable: the engine on the real platform (SDL host, ANSI
// terminal, system clock, the GL, SDL input and SDL sound stand-ins).
#include <memory>
#include <string>

#include "core/Engine.h"
#include "core/Main.h"
#include "core/UserFolder.h"
#include "platform/AnsiTerminal.h"
#include "platform/Clock.h"
#include "platform/FileSearch.h"
#include "platform/SDLHost.h"
#include "platform/d3d/Factory.h"
#include "platform/dinput/Factory.h"
#include "platform/dsound/Factory.h"

int main(int argc, char** argv) {
    auto engine = std::make_unique<rdv::Engine>();
    engine->programFolder = rdv::ProgramFolder();
    engine->userFolder = rdv::ChooseUserFolder(engine->programFolder);
    for (int i = 1; i < argc; ++i) {
        if (i > 1) engine->commandLine += ' ';
        engine->commandLine += argv[i];
    }
    engine->platform.clock = std::make_shared<rdv::SystemClock>();
    engine->platform.terminal = std::make_shared<rdv::AnsiTerminal>();
    engine->platform.host = rdv::CreateSDLHost();
    engine->platform.d3d = rdv::CreateGLDirect3D8();
    engine->platform.dinput = rdv::CreateSDLDirectInput8();
    engine->platform.dsound = rdv::CreateSDLDirectSound8();
    rdv::Main(*engine);
    // Subsystems go before the platform objects they were built on.
    engine.reset();
    return 0;
}
