#pragma once
// The program: start-up, the reboot loop and the main loop.
namespace rdv {

class Engine;

inline constexpr int kReleaseMajor = 1;
inline constexpr int kReleaseMinor = 0;
inline constexpr int kReleaseRevision = 29;

// Runs the engine until it is to end: the command line (engine.commandLine)
// is parsed, the banner and system information logged, then every pass of
// the reboot loop brings the subsystems up, runs the main loop and takes
// them down. Errors end in the fatal error report; Main never throws.
void Main(Engine& engine);

// One tick: input, frame, game, sound, display; F12 stops the loop.
void MainLoop(Engine& engine);

// Game, sound, input and graphics shutdown, then both host forms unloaded
// and pending messages processed: the end of a pass and of a fatal error.
void ShutdownPass(Engine& engine);

} // namespace rdv
