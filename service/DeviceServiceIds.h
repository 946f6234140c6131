// Class ids of the device service, beside the interfaces generated from
// DeviceService.idl. Every client includes this header.
#pragma once
#include <windows.h>

#include "service/DeviceService.h"

// The device manager class that clients create (for IDeviceManager, context 0x17).
inline constexpr CLSID CLSID_DeviceServiceClass = {
    0x472079C9, 0x3628, 0x45F7, {0xA3, 0x2E, 0xFE, 0x00, 0x49, 0x05, 0x18, 0xF1}};

// The stand-in service's control class (IDeviceServiceControl); no client program uses it.
inline constexpr CLSID CLSID_DeviceServiceControl = {
    0xB889BCBE, 0xB3AC, 0x4822, {0x92, 0xCC, 0xF4, 0x82, 0x68, 0xE4, 0x85, 0x12}};

// The proxy/stub class of DeviceServicePS.dll.
inline constexpr CLSID CLSID_DeviceServiceProxyStub = {
    0xDA0A8C22, 0x8FF8, 0x4910, {0xAB, 0x48, 0xE9, 0x55, 0x07, 0x71, 0x9F, 0xCA}};

// The class context the clients create the service with.
inline constexpr DWORD kDeviceServiceContext = 0x17;
