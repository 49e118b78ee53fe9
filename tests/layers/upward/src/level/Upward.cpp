#include "level/Level.h"
#include "core/Engine.h"
#include "game/Game.h"
#include "Neighbour.h"
