#include "sim/wire_timing.h"
