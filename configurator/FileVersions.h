// The running program's own version block: its file and product versions, whole
// and in parts, as texts for the main window's version line.
#pragma once
#include <string>

class CFileVersions {
 public:
  CFileVersions();
  virtual ~CFileVersions() = default;

  // The running program's path (GetModuleFileNameW, 260 characters).
  void ReadModulePath();
  // Reads the version block of the module path. False (the texts unchanged) when
  // the path is empty, the file has no version block, or its root value is not a
  // whole fixed-file-info record.
  bool ReadVersionInfo();

  std::wstring m_modulePath;
  std::wstring m_fileVersion;     // "major.minor.build.revision"
  std::wstring m_productVersion;  // the same form
  std::wstring m_fileMajor, m_fileMinor, m_fileBuild, m_fileRevision;
  std::wstring m_productMajor, m_productMinor, m_productBuild, m_productRevision;
};
