#include "core/Engine.h"
