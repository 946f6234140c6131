// Fresh temporary folders and whole-file reads and writes, for tests and benchmarks.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Handles.h"
#include "platform/testing/WinePath.h"

namespace platform::testing {

// A new folder under the temporary folder, its name beginning with `prefix`; its
// path ends with a backslash.
inline std::wstring MakeTempFolder(const std::wstring& prefix) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  for (unsigned n = GetTickCount();; ++n) {
    std::wstring folder = std::wstring(temp) + prefix + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(n);
    if (CreateDirectoryW(folder.c_str(), nullptr)) return folder + L"\\";
  }
}

// A whole file's bytes; empty when it cannot be read.
inline std::string ReadWholeFile(const std::wstring& path) {
  std::string bytes;
  const platform::KernelHandle h(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!h) return bytes;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(h.Get(), buffer, sizeof buffer, &n, nullptr) && n) bytes.append(buffer, n);
  return bytes;
}

// The same as the unsigned bytes binary loaders take.
inline std::vector<uint8_t> ReadFileBytes(const std::wstring& path) {
  const std::string bytes = ReadWholeFile(path);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}
// A file the build names by its host path (OVRIX_KEY_FILES_DIR ...).
inline std::vector<uint8_t> ReadFileBytes(const char* hostPath) { return ReadFileBytes(DosPath(hostPath)); }

// Replaces a file with `bytes`.
inline void WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  const platform::KernelHandle h(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD n = 0;
  WriteFile(h.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
}

}  // namespace platform::testing
