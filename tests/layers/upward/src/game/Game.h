#pragma once
#include "level/Level.h"
#include "editor/Editor.h"
