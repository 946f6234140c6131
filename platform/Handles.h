// An owner for kernel handles (files, mutexes, events, threads, processes,
// snapshots, tokens). Move-only; it closes its handle once, and an owner that was
// moved from, reset or closed holds nothing, so no handle is closed twice.
#pragma once
#include <windows.h>

#include <utility>

namespace platform {

class KernelHandle {
 public:
  KernelHandle() = default;
  // CreateFileW and CreateToolhelp32Snapshot fail with INVALID_HANDLE_VALUE, the
  // others with null: either is kept as "nothing held".
  explicit KernelHandle(HANDLE handle) : m_handle(Normalised(handle)) {}
  ~KernelHandle() { Close(); }
  KernelHandle(KernelHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
  KernelHandle& operator=(KernelHandle&& other) noexcept {
    if (this != &other) Reset(other.Detach());
    return *this;
  }
  KernelHandle(const KernelHandle&) = delete;
  KernelHandle& operator=(const KernelHandle&) = delete;

  HANDLE Get() const { return m_handle; }
  explicit operator bool() const { return m_handle != nullptr; }
  // Takes over `handle`; what was held before is closed first.
  void Reset(HANDLE handle = nullptr) {
    handle = Normalised(handle);
    if (handle == m_handle) return;
    Close();
    m_handle = handle;
  }
  HANDLE Detach() { return std::exchange(m_handle, nullptr); }
  // Closes the held handle (if any) and leaves the owner empty.
  BOOL Close() {
    HANDLE handle = std::exchange(m_handle, nullptr);
    return handle ? ::CloseHandle(handle) : FALSE;
  }

 private:
  static HANDLE Normalised(HANDLE handle) { return handle == INVALID_HANDLE_VALUE ? nullptr : handle; }
  HANDLE m_handle = nullptr;
};

// The two handles CreateProcessW hands back, closed with their owner.
struct ProcessHandles {
  ProcessHandles() = default;
  explicit ProcessHandles(const PROCESS_INFORMATION& info)
      : process(info.hProcess), thread(info.hThread), id(info.dwProcessId) {}
  KernelHandle process;
  KernelHandle thread;
  DWORD id = 0;
};

}  // namespace platform
