#include "configurator/FileVersions.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

std::wstring Number(unsigned value) { return std::to_wstring(value); }

std::wstring Dotted(unsigned a, unsigned b, unsigned c, unsigned d) {
  wchar_t text[64] = {};
  std::swprintf(text, 64, L"%d.%d.%d.%d", static_cast<int>(a), static_cast<int>(b), static_cast<int>(c),
                static_cast<int>(d));
  return text;
}

}  // namespace

CFileVersions::CFileVersions()
    : m_fileVersion(L"0.0.0.0"), m_productVersion(L"0.0.0.0"), m_productMinor(L"0") {}

void CFileVersions::ReadModulePath() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  m_modulePath.assign(path, length < MAX_PATH ? length : 0);
}

bool CFileVersions::ReadVersionInfo() {
  if (m_modulePath.empty()) return false;
  DWORD handle = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(m_modulePath.c_str(), &handle);
  if (size == 0) return false;
  std::vector<unsigned char> block;
  try {
    block.resize(size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!::GetFileVersionInfoW(m_modulePath.c_str(), 0, size, block.data())) return false;
  void* value = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block.data(), L"\\", &value, &length) || value == nullptr) return false;
  if (length != sizeof(VS_FIXEDFILEINFO)) return false;
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
  const unsigned fileParts[4] = {HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                                 HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
  const unsigned productParts[4] = {HIWORD(info->dwProductVersionMS), LOWORD(info->dwProductVersionMS),
                                    HIWORD(info->dwProductVersionLS), LOWORD(info->dwProductVersionLS)};
  m_fileMajor = Number(fileParts[0]);
  m_fileMinor = Number(fileParts[1]);
  m_fileBuild = Number(fileParts[2]);
  m_fileRevision = Number(fileParts[3]);
  m_fileVersion = Dotted(fileParts[0], fileParts[1], fileParts[2], fileParts[3]);
  m_productMajor = Number(productParts[0]);
  m_productMinor = Number(productParts[1]);
  m_productBuild = Number(productParts[2]);
  m_productRevision = Number(productParts[3]);
  m_productVersion = Dotted(productParts[0], productParts[1], productParts[2], productParts[3]);
  return true;
}
