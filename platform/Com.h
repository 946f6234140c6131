// Owners for COM: an interface pointer, and the calling thread's apartment. Both
// are move-only and end once: a moved-from or reset owner holds nothing, so no
// reference is released twice and no CoInitializeEx is balanced twice.
#pragma once
#include <windows.h>
#include <objbase.h>

#include <utility>

namespace platform {

template <typename T>
class ComRef {
 public:
  ComRef() = default;
  explicit ComRef(T* adopted) : m_p(adopted) {}
  ~ComRef() { Reset(); }
  // A reference of its own to a pointer someone else holds.
  static ComRef Copy(T* shared) {
    if (shared != nullptr) shared->AddRef();
    return ComRef(shared);
  }
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

// COM for the calling thread: an owner that initialised it balances that once,
// at Uninitialize or at the end of its life. A failed initialisation is not
// balanced. It stays on the thread that made it (a move hands the balancing on).
class ComApartment {
 public:
  ComApartment() = default;
  explicit ComApartment(DWORD flags) { Initialize(flags); }
  ~ComApartment() { Uninitialize(); }
  ComApartment(ComApartment&& other) noexcept : m_initialised(std::exchange(other.m_initialised, false)) {}
  ComApartment& operator=(ComApartment&& other) noexcept {
    if (this != &other) {
      Uninitialize();
      m_initialised = std::exchange(other.m_initialised, false);
    }
    return *this;
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  // CoInitializeEx's result; a held initialisation is balanced first.
  HRESULT Initialize(DWORD flags = COINIT_APARTMENTTHREADED) {
    Uninitialize();
    const HRESULT hr = ::CoInitializeEx(nullptr, flags);
    m_initialised = SUCCEEDED(hr);
    return hr;
  }
  void Uninitialize() {
    if (std::exchange(m_initialised, false)) ::CoUninitialize();
  }
  bool IsInitialised() const { return m_initialised; }

 private:
  bool m_initialised = false;
};

}  // namespace platform
