// The popups the configurator's windows open, behind one seam: the windows ask
// for a popup by its skin file and get the popup's answer, so tests can answer
// for the user. The system's answers come from the popup classes themselves.
#pragma once
#include <windows.h>

#include <string>

#include "platform/Window.h"

namespace configurator {

class IPopups {
 public:
  virtual ~IPopups() = default;
  // The warning popup of the skin file; heading (a language key or text) replaces
  // its heading when not empty; extra is appended to the heading when not null.
  // The DoModal result: 1 confirmed.
  virtual INT_PTR Warning(CWnd* parent, const std::wstring& skinFile, const std::wstring& heading,
                          const std::wstring* extra) = 0;
};

// The popups in use: the real ones unless a test set its own (null restores them).
IPopups& Popups();
void SetPopups(IPopups* popups);

// The warning shown when the settings did not reach the keyboard: the write
// warning popup with its own heading.
inline constexpr wchar_t kWriteFailedPopup[] = L"NoKestranePopup.xml";
inline constexpr wchar_t kWriteFailedHeading[] = L"$SettingsNotWritten";

}  // namespace configurator
