// A small owner for COM interface pointers and the service's CoTaskMem strings,
// so that no path of the device layer releases or frees by hand.
#pragma once
#include <windows.h>
#include <objbase.h>

#include <cwchar>
#include <string>
#include <utility>

template <typename T>
class ComRef {
 public:
  ComRef() = default;
  explicit ComRef(T* adopted) : m_p(adopted) {}
  ~ComRef() { Reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ComRef(ComRef&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) {
      Reset();
      m_p = std::exchange(other.m_p, nullptr);
    }
    return *this;
  }

  // For an out parameter: releases what is held first.
  T** Out() {
    Reset();
    return &m_p;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }
  T* Get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  T* Detach() { return std::exchange(m_p, nullptr); }
  void Reset() {
    if (T* p = std::exchange(m_p, nullptr)) p->Release();
  }

 private:
  T* m_p = nullptr;
};

// A feature interface of a device or profile (GetFeature(IID, void**)).
template <typename T, typename TSource>
HRESULT GetFeatureOf(TSource* source, ComRef<T>& out) {
  if (source == nullptr) return E_POINTER;
  return source->GetFeature(__uuidof(T), out.OutVoid());
}

// Takes a string the service allocated: copies at most maxChars characters (never
// reading past a terminator or the bound) and frees it.
inline std::wstring TakeServiceString(LPWSTR text, std::size_t maxChars) {
  std::wstring copy;
  if (text != nullptr) copy.assign(text, wcsnlen(text, maxChars));
  CoTaskMemFree(text);
  return copy;
}
