#include "core/Subsystems.h"
// Replaced by the game-flow module.
namespace rdv {
void Loader(Engine&) {}
void LoadLibrary(Engine&) {}
void GameStart(Engine&) {}
void GameFrame(Engine&) {}
void GameShutdown(Engine&) {}
}
