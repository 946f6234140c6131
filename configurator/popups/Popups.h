// The popups the configurator's windows open, behind one seam: the windows ask
// for a popup by its skin file and get the popup's answer, so tests can answer
// for the user. The system's answers come from the popup classes themselves.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

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
  // A name of at most 20 characters; `name` is shown in the heading on the way in.
  virtual INT_PTR NameEntry(CWnd* parent, const std::wstring& skinFile, std::wstring& name) = 0;
  // A number between 1 and 255; 0 when the edit was left empty.
  virtual INT_PTR NumberEntry(CWnd* parent, const std::wstring& skinFile, int& number) = 0;
  // One of the names; `name` is the preselection on the way in.
  virtual INT_PTR DropdownSelect(CWnd* parent, const std::wstring& skinFile, const std::vector<std::wstring>& names,
                                 std::wstring& name) = 0;
  // A macro name and its play mode (1..4).
  virtual INT_PTR MacroAssignment(CWnd* parent, const std::wstring& skinFile, int& playMode,
                                  const std::vector<std::wstring>& names, std::wstring& name) = 0;
  // The key captured: its name as shown, scan code, virtual key and the flag
  // byte (1 extended, 2 Alt, 4 Ctrl, 8 Shift). kEditKeyPopup captures one plain
  // key without modifiers (flag byte: 1 extended).
  virtual INT_PTR SingleKey(CWnd* parent, const std::wstring& skinFile, std::wstring& text, int16_t& scanCode,
                            int16_t& virtualKey, uint8_t& flags) = 0;
};

// The key of a macro event: the plain single-key popup.
inline constexpr wchar_t kEditKeyPopup[] = L"EditKeyPopup.xml";

// The popups in use: the real ones unless a test set its own (null restores them).
IPopups& Popups();
void SetPopups(IPopups* popups);

// The warning shown when the settings did not reach the keyboard: the write
// warning popup with its own heading.
inline constexpr wchar_t kWriteFailedPopup[] = L"NoKestranePopup.xml";
inline constexpr wchar_t kWriteFailedHeading[] = L"$SettingsNotWritten";

}  // namespace configurator
