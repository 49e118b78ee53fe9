// The editor is below the game: asking the game directly is an upward include.
#include "editor/Editor.h"
#include "game/Game.h"
