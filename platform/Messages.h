// Registered system messages the programs listen for.
#pragma once
#include <windows.h>

namespace platform {

// Broadcast when the taskbar (re)starts; registered once per process (the number
// differs from session to session: never hard-code it).
UINT TaskbarCreatedMessage();  // "TaskbarCreated"

}  // namespace platform
