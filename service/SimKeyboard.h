// The keys of the simulated keyboard: one device key code per key, with the code
// the key sends by default.
#pragma once
#include <vector>

#include "service/ServiceState.h"

std::vector<SimKey> SimKeyboardKeys();
