// A library on the same floor is not below.
#include "input/Input.h"
