/* The [local] methods of DeviceService.idl and their [call_as] twins: the proxy
   half runs in the client, the stub half in the service. Each keeps the C
   signature the programs call and sends only what the marshaller can check:
   names as counted arrays, caller's buffers with a separate capacity and written count (so a
   service answer can never be longer than the caller's buffer), blobs as a counted
   array. */
#include "service/DeviceService.h"

#include <string.h>

enum { kMaxBufferBytes = 65536, kMaxRecords = 65536, kMaxMacroEvents = 1048576 };

/* A name crossing as a counted array; the caller receives a CoTaskMemAlloc copy.
   The service's names are far shorter than the array. */
enum { kNameChars = 1024 };

#define NAME_PROXY(Interface, Arg)                                                  \
  HRESULT CALLBACK Interface##_GetName_Proxy(Interface* This, LPWSTR* Arg) {        \
    WCHAR wire[kNameChars];                                                         \
    DWORD length = 0;                                                               \
    HRESULT hr;                                                                     \
    if (!Arg) return E_POINTER;                                                     \
    *Arg = NULL;                                                                    \
    hr = Interface##_RemoteGetName_Proxy(This, kNameChars, &length, wire);          \
    return CopyName(hr, wire, length, Arg);                                         \
  }                                                                                 \
  HRESULT __RPC_STUB Interface##_GetName_Stub(Interface* This, DWORD capacity,      \
                                              DWORD* length, WCHAR* Arg) {          \
    LPWSTR local = NULL;                                                            \
    HRESULT hr = This->lpVtbl->GetName(This, &local);                               \
    *length = 0;                                                                    \
    if (SUCCEEDED(hr) && local) {                                                   \
      size_t n = wcslen(local);                                                     \
      if (n > capacity) hr = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);         \
      else {                                                                        \
        memcpy(Arg, local, n * sizeof(WCHAR));                                      \
        *length = (DWORD)n;                                                         \
      }                                                                             \
    }                                                                               \
    CoTaskMemFree(local);                                                           \
    return hr;                                                                      \
  }

static HRESULT CopyName(HRESULT hr, const WCHAR* wire, DWORD length, LPWSTR* out) {
  LPWSTR copy;
  if (FAILED(hr)) return hr;
  if (length > kNameChars) length = kNameChars;
  copy = (LPWSTR)CoTaskMemAlloc((length + 1) * sizeof(WCHAR));
  if (!copy) return E_OUTOFMEMORY;
  if (length) memcpy(copy, wire, length * sizeof(WCHAR));
  copy[length] = 0;
  *out = copy;
  return hr;
}

NAME_PROXY(IDeviceProfile, name)
NAME_PROXY(IDeviceMacro, name)
NAME_PROXY(IDeviceApplication, path)

HRESULT CALLBACK IProfileProperties_GetProperty_Proxy(IProfileProperties* This, DWORD id,
                                                      DWORD reserved1, void* buffer,
                                                      DWORD reserved2, DWORD* size) {
  BYTE none = 0;
  DWORD capacity, written = 0;
  HRESULT hr;
  if (!size) return E_POINTER;
  capacity = *size;
  if (capacity && !buffer) return E_POINTER;
  if (capacity > kMaxBufferBytes) capacity = kMaxBufferBytes;
  hr = IProfileProperties_RemoteGetProperty_Proxy(This, id, reserved1, capacity, &written,
                                                  buffer ? (BYTE*)buffer : &none, reserved2);
  *size = SUCCEEDED(hr) ? (written <= capacity ? written : capacity) : 0;
  return hr;
}

HRESULT __RPC_STUB IProfileProperties_GetProperty_Stub(IProfileProperties* This, DWORD id,
                                                       DWORD reserved1, DWORD capacity,
                                                       DWORD* written, BYTE* buffer,
                                                       DWORD reserved2) {
  DWORD size = capacity;
  HRESULT hr = This->lpVtbl->GetProperty(This, id, reserved1, buffer, reserved2, &size);
  *written = SUCCEEDED(hr) ? (size <= capacity ? size : capacity) : 0;
  return hr;
}

HRESULT CALLBACK IProfileProperties_SetProperty_Proxy(IProfileProperties* This, DWORD id,
                                                      const void* buffer, DWORD reserved1,
                                                      DWORD size, DWORD reserved2) {
  BYTE none = 0;
  if (size && !buffer) return E_POINTER;
  if (size > kMaxBufferBytes) return E_INVALIDARG;
  return IProfileProperties_RemoteSetProperty_Proxy(This, id, size,
                                                    size ? (const BYTE*)buffer : &none,
                                                    reserved1, reserved2);
}

HRESULT __RPC_STUB IProfileProperties_SetProperty_Stub(IProfileProperties* This, DWORD id,
                                                       DWORD size, const BYTE* buffer,
                                                       DWORD reserved1, DWORD reserved2) {
  return This->lpVtbl->SetProperty(This, id, buffer, reserved1, size, reserved2);
}

HRESULT CALLBACK IKeyAssignments_GetAssignments_Proxy(IKeyAssignments* This, DWORD* count,
                                                      DeviceKeyAssignment** buffer) {
  DeviceKeyAssignment none;
  DWORD capacity, written = 0;
  HRESULT hr;
  if (!count || !buffer) return E_POINTER;
  capacity = *count;
  if (capacity && !*buffer) return E_POINTER;
  if (capacity > kMaxRecords) capacity = kMaxRecords;
  hr = IKeyAssignments_RemoteGetAssignments_Proxy(This, capacity, &written,
                                                  *buffer ? *buffer : &none);
  *count = SUCCEEDED(hr) ? (written <= capacity ? written : capacity) : 0;
  return hr;
}

HRESULT __RPC_STUB IKeyAssignments_GetAssignments_Stub(IKeyAssignments* This, DWORD capacity,
                                                       DWORD* written,
                                                       DeviceKeyAssignment* records) {
  DWORD n = capacity;
  DeviceKeyAssignment* buffer = records;
  HRESULT hr = This->lpVtbl->GetAssignments(This, &n, &buffer);
  if (SUCCEEDED(hr) && buffer != records) hr = E_UNEXPECTED; /* must fill the given buffer */
  *written = SUCCEEDED(hr) ? (n <= capacity ? n : capacity) : 0;
  return hr;
}

HRESULT CALLBACK IKeyAssignments_SetAssignments_Proxy(IKeyAssignments* This, int count,
                                                      const DeviceKeyAssignment* records) {
  DeviceKeyAssignment none;
  if (count < 0 || count > kMaxRecords) return E_INVALIDARG;
  if (count && !records) return E_POINTER;
  memset(&none, 0, sizeof(none));
  return IKeyAssignments_RemoteSetAssignments_Proxy(This, (DWORD)count, count ? records : &none);
}

HRESULT __RPC_STUB IKeyAssignments_SetAssignments_Stub(IKeyAssignments* This, DWORD count,
                                                       const DeviceKeyAssignment* records) {
  return This->lpVtbl->SetAssignments(This, (int)count, records);
}

HRESULT CALLBACK IDeviceMacro_SetEvents_Proxy(IDeviceMacro* This, const DeviceMacroBlob* blob) {
  DeviceMacroEvent none = {0, 0};
  if (!blob) return E_POINTER;
  if (blob->count < 0 || blob->count > kMaxMacroEvents) return E_INVALIDARG;
  return IDeviceMacro_RemoteSetEvents_Proxy(This, (DWORD)blob->count,
                                            blob->count ? blob->events : &none);
}

HRESULT __RPC_STUB IDeviceMacro_SetEvents_Stub(IDeviceMacro* This, DWORD count,
                                               const DeviceMacroEvent* events) {
  /* Rebuilt in the service's own layout: header, events, one spare zero record. */
  SIZE_T bytes = sizeof(DeviceMacroBlob) + (SIZE_T)count * sizeof(DeviceMacroEvent);
  DeviceMacroBlob* blob = (DeviceMacroBlob*)CoTaskMemAlloc(bytes);
  HRESULT hr;
  if (!blob) return E_OUTOFMEMORY;
  memset(blob, 0, bytes);
  blob->count = (LONG)count;
  if (count) memcpy(blob->events, events, (SIZE_T)count * sizeof(DeviceMacroEvent));
  hr = This->lpVtbl->SetEvents(This, blob);
  CoTaskMemFree(blob);
  return hr;
}
