// What the profiles page decides on its own, apart from the window.
#pragma once
#include "device/ProfileNames.h"

namespace configurator {

// The copy rule belongs to the profiles themselves: an import names a profile
// whose name is taken by the same rule.
using device::CopyNameFor;

}  // namespace configurator
