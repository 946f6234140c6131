#include "platform/FileDialog.h"

#include <commdlg.h>

#include <vector>

#include "platform/LateBound.h"

namespace {

// Long enough for paths beyond MAX_PATH, so that callers can refuse long paths
// themselves instead of the dialog failing.
constexpr size_t kPathBuffer = 4096;

class SystemFileDialogs : public platform::IFileDialogs {
 public:
  bool Show(const platform::FileDialogRequest& request, std::wstring& path) override {
    const std::wstring filter = platform::FilterFromBars(request.filter);
    std::vector<wchar_t> buffer(kPathBuffer, L'\0');
    request.fileName.copy(buffer.data(), kPathBuffer - 1);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = request.owner;
    ofn.lpstrFilter = filter.size() > 2 ? filter.c_str() : nullptr;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(kPathBuffer);
    ofn.lpstrInitialDir = request.initialFolder.empty() ? nullptr : request.initialFolder.c_str();
    ofn.lpstrDefExt = request.defaultExtension.empty() ? nullptr : request.defaultExtension.c_str();
    ofn.Flags = request.flags | OFN_EXPLORER;
    const BOOL ok = request.open ? platform::LateGetOpenFileNameW(&ofn) : platform::LateGetSaveFileNameW(&ofn);
    if (!ok) return false;
    buffer.back() = L'\0';
    path = buffer.data();
    return true;
  }
};

SystemFileDialogs g_system;
platform::IFileDialogs* g_dialogs = &g_system;

}  // namespace

namespace platform {

IFileDialogs& FileDialogs() { return *g_dialogs; }
void SetFileDialogs(IFileDialogs* dialogs) { g_dialogs = dialogs ? dialogs : &g_system; }

std::wstring FilterFromBars(std::wstring_view filter) {
  std::wstring out;
  size_t start = 0;
  std::vector<std::wstring_view> parts;
  while (start < filter.size()) {
    const size_t bar = filter.find(L'|', start);
    if (bar == std::wstring_view::npos) break;  // a piece without its closing bar
    if (bar == start) break;                    // "||": the end
    parts.push_back(filter.substr(start, bar - start));
    start = bar + 1;
  }
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    out.append(parts[i]);
    out.push_back(L'\0');
    out.append(parts[i + 1]);
    out.push_back(L'\0');
  }
  out.push_back(L'\0');
  if (out.size() < 2) out.push_back(L'\0');
  return out;
}

}  // namespace platform

CFileDialog::CFileDialog(bool open, const wchar_t* defaultExtension, const wchar_t* fileName, DWORD flags,
                         const wchar_t* filter, CWnd* parent) {
  m_request.open = open;
  if (defaultExtension) m_request.defaultExtension = defaultExtension;
  if (fileName) m_request.fileName = fileName;
  m_request.flags = flags;
  if (filter) m_request.filter = filter;
  m_request.owner = parent ? parent->m_hWnd : nullptr;
}

INT_PTR CFileDialog::DoModal() {
  m_path.clear();
  std::wstring path;
  if (!platform::FileDialogs().Show(m_request, path)) return IDCANCEL;
  m_path = path;
  return IDOK;
}

std::wstring CFileDialog::GetFileName() const {
  const size_t slash = m_path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? m_path : m_path.substr(slash + 1);
}

std::wstring CFileDialog::GetFileExt() const {
  const std::wstring name = GetFileName();
  const size_t dot = name.rfind(L'.');
  return dot == std::wstring::npos ? std::wstring() : name.substr(dot + 1);
}
