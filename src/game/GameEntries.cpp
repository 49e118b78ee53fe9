#include "core/Subsystems.h"
// The game-flow entries of the reboot loop and the main loop. They do
// nothing until the game-flow module replaces them.
namespace rdv {
// Will set up the loading-screen cameras and the "loader" model and draw one loading frame.
void Loader(Engine&) {}
// Will load the language catalogue, the chosen language's strings and the campaign catalogue.
void LoadLibrary(Engine&) {}
// Will load the fonts, the first level, the system classes, the editor (with -e) and the menu, and start the frame timer.
void GameStart(Engine&) {}
// Will advance and draw the level behind the menu or the player views, then the menu or the subtitle line.
void GameFrame(Engine&) {}
// Will release the system classes, the level and the menu resources.
void GameShutdown(Engine&) {}
}
