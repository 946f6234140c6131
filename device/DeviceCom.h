// COM helpers of the device layer: feature interfaces through the pointer owner
// (platform/Com.h), and the service's CoTaskMem strings taken and freed.
#pragma once
#include <windows.h>
#include <objbase.h>

#include <cwchar>
#include <string>
#include <utility>

#include "platform/Com.h"

// The device layer names the owner unqualified.
using platform::ComRef;

// A feature interface of a device or profile (GetFeature(IID, void**)).
template <typename T, typename TSource>
HRESULT GetFeatureOf(TSource* source, ComRef<T>& out) {
  if (source == nullptr) return E_POINTER;
  return source->GetFeature(__uuidof(T), out.OutVoid());
}
template <typename T, typename TSource>
HRESULT GetFeatureOf(const ComRef<TSource>& source, ComRef<T>& out) {
  return GetFeatureOf(source.Get(), out);
}

// Takes a string the service allocated: copies at most maxChars characters (never
// reading past a terminator or the bound) and frees it.
inline std::wstring TakeServiceString(LPWSTR text, std::size_t maxChars) {
  std::wstring copy;
  if (text != nullptr) copy.assign(text, wcsnlen(text, maxChars));
  CoTaskMemFree(text);
  return copy;
}
