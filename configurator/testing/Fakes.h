// For the configurator's tests: seams that record what would have happened.
#pragma once
#include <windows.h>

#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "configurator/Shell.h"
#include "device/Bootstrap.h"
#include "platform/FileDialog.h"

namespace configurator::testing {

// Records what would have been opened, with the current folder at that moment.
class RecordingLauncher final : public IShellLauncher {
 public:
  struct Call {
    std::wstring verb, file, folder;
  };
  RecordingLauncher() { SetShellLauncher(this); }
  ~RecordingLauncher() override { SetShellLauncher(nullptr); }
  bool Open(const std::wstring& verb, const std::wstring& file) override {
    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);
    calls.push_back({verb, file, current});
    return result;
  }
  std::vector<Call> calls;
  bool result = true;
};

// Answers the file dialogs with `answer` (empty: cancelled) and records what was asked.
class FakeFileDialogs final : public platform::IFileDialogs {
 public:
  FakeFileDialogs() { platform::SetFileDialogs(this); }
  ~FakeFileDialogs() override { platform::SetFileDialogs(nullptr); }
  bool Show(const platform::FileDialogRequest& request, std::wstring& path) override {
    requests.push_back(request);
    path = answer;
    return !answer.empty();
  }
  std::vector<platform::FileDialogRequest> requests;
  std::wstring answer;
};

// The installer key's values; the key may be absent.
class FakeProgramRegistry final : public IProgramRegistry {
 public:
  bool Open() override {
    ++opens;
    open = present;
    return open;
  }
  LONG ReadString(const wchar_t* valueName, wchar_t* buffer) override {
    buffer[0] = L'\0';
    if (!open) return ERROR_INVALID_HANDLE;
    const auto found = values.find(valueName);
    if (found == values.end()) return ERROR_FILE_NOT_FOUND;
    if (found->second.size() >= platform::kRegistryStringChars) return ERROR_MORE_DATA;
    std::wmemcpy(buffer, found->second.c_str(), found->second.size() + 1);
    return ERROR_SUCCESS;
  }
  void Close() override { open = false; }

  bool present = true;
  bool open = false;
  int opens = 0;
  std::map<std::wstring, std::wstring> values;
};

}  // namespace configurator::testing
