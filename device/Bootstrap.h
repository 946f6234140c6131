// Bringing the model to life at start-up and tearing it down at exit: the device
// object, its first read of the keyboard, the static name tables.
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
