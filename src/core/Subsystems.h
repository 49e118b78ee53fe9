#pragma once
// The subsystem entries the reboot loop and the main loop call, in the
// order they run. Each module implements its own.
namespace rdv {

class Engine;

// core (Part of the engine core)
void LoadSettings(Engine& engine);
void SaveSettings(Engine& engine);

// input
void StartInput(Engine& engine);
void PollInput(Engine& engine);
void StopInput(Engine& engine);

// graphics
void InitGraphics(Engine& engine);
void BeginFrame(Engine& engine);
void Display(Engine& engine);
void ShutdownGraphics(Engine& engine);

// sound
void SoundStart(Engine& engine);
void SoundUpdate(Engine& engine);
void SoundShutdown(Engine& engine);

// game flow
void Loader(Engine& engine);
void LoadLibrary(Engine& engine);
void GameStart(Engine& engine);
void GameFrame(Engine& engine);
void GameShutdown(Engine& engine);

} // namespace rdv
