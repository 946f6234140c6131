// Bringing the model to life at start-up and tearing it down at exit: the device
// object, its first read of the keyboard, the static name tables; and the reading
// of the installer's registry values.
#pragma once
#include <windows.h>

#include "device/BaseDevice.h"
#include "device/GenDevice.h"

class CKeyboard;

// The program's device object from CreateDeviceAndTables to DestroyGlobals; null otherwise.
CKeyboard* GlobalDevice();

// Creates the device object (reaching the service through `factory`, the service's
// class when empty), reads the keyboard into `config`, hands the device to the
// caller and to the configuration, and builds the name tables. True when the
// keyboard was read; the device, the link and the tables exist in either case.
// The read's connection stays open for the start-up's reads that follow, until
// the device's EndHeldConnection.
bool CreateDeviceAndTables(IGenDevice** device, IKeyboardConfig* config, DeviceManagerFactory factory = {});

// Deletes the device object (which waits for a running write first).
void DestroyGlobals();

// Characters of the buffer ReadRegistryString fills, its terminator included.
inline constexpr DWORD kRegistryStringChars = MAX_PATH;

// Reads a string value into a buffer of kRegistryStringChars characters. The
// result is the Win32 status; anything but a terminated REG_SZ value that fits
// leaves the buffer empty (a wrong type gives ERROR_UNSUPPORTED_TYPE, a value
// without its terminator ERROR_INVALID_DATA).
LONG ReadRegistryString(wchar_t* buffer, HKEY key, const wchar_t* valueName);

// Opens the program's installer key (HKEY_LOCAL_MACHINE "Software\Tavrik\Kestrane
// Ovrix") for reading only.
LONG OpenProgramRegistryKey(HKEY* key);
