// Open and save file dialogs behind a small interface, so tests can answer them.
// Filters are written the way the callers keep them: "Profiles|*.qxp||", pairs
// of description and pattern separated by bars, ending with two bars.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include <string>
#include <string_view>

#include "platform/Window.h"

namespace platform {

struct FileDialogRequest {
  bool open = true;
  std::wstring defaultExtension;
  std::wstring fileName;     // initial file name, or empty
  std::wstring initialFolder;
  DWORD flags = 0;           // OFN_* flags
  std::wstring filter;       // in the "a|b||" form
  HWND owner = nullptr;
};

class IFileDialogs {
 public:
  virtual ~IFileDialogs() = default;
  // Shows the dialog; true with the chosen path when the user pressed OK.
  virtual bool Show(const FileDialogRequest& request, std::wstring& path) = 0;
};

// The dialogs in use: the system's unless a test set its own (null restores them).
IFileDialogs& FileDialogs();
void SetFileDialogs(IFileDialogs* dialogs);

// "a|b||" -> "a\0b\0\0" as the system's OPENFILENAME wants it. Text after the
// last bar without its pair is dropped; the result always ends with two zeros.
std::wstring FilterFromBars(std::wstring_view filter);

}  // namespace platform

class CFileDialog {
 public:
  CFileDialog(bool open, const wchar_t* defaultExtension, const wchar_t* fileName, DWORD flags,
              const wchar_t* filter, CWnd* parent = nullptr);
  // IDOK when a file was chosen, IDCANCEL otherwise.
  INT_PTR DoModal();
  std::wstring GetPathName() const { return m_path; }
  std::wstring GetFileName() const;   // the path's last part
  std::wstring GetFileExt() const;    // without the dot

  platform::FileDialogRequest m_request;

 private:
  std::wstring m_path;
};
