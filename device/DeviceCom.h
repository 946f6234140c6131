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
  explicit ComRef(T* adopted) : p_(adopted) {}
  ~ComRef() { Reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ComRef(ComRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) {
      Reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }

  // For an out parameter: releases what is held first.
  T** Out() {
    Reset();
    return &p_;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T* Detach() { return std::exchange(p_, nullptr); }
  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }

 private:
  T* p_ = nullptr;
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
