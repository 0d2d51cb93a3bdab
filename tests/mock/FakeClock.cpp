#include "mock/FakeClock.h"
