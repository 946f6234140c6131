// Tests and benchmarks are handed build-host paths (Unix paths) by the build;
// programs under Wine see the host's file system as drive Z:.
#pragma once
#include <string>
#include <string_view>

inline std::wstring DosPath(std::string_view unixPath) {
  std::wstring path = L"Z:";
  for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
  return path;
}
