#include "gui/controls/ControlHelpers.h"

#include <vector>

#include "gui/base/LangTable.h"

namespace gui {

CFont MakeDefaultControlFont() {
  CFont font;
  font.CreateFont(14, FW_BOLD, 0x20, L"Arial");
  return font;
}

std::wstring TranslateText(const std::wstring& text, bool* translated, bool* haveTable) {
  std::wstring out = text;
  const bool found = CurrentLangTable && CLangTable::Translate(CurrentLangTable, text, out);
  if (translated) *translated = found;
  if (haveTable) *haveTable = CurrentLangTable != nullptr;
  return out;
}

std::wstring ApplyCaseMode(std::wstring text, int caseMode) {
  if (text.empty()) return text;
  const DWORD length = static_cast<DWORD>(text.size());
  if (caseMode == 1) ::CharUpperBuffW(text.data(), length);
  else if (caseMode == 2) ::CharLowerBuffW(text.data(), length);
  return text;
}

std::wstring FirstLineBreak(std::wstring text) {
  const size_t at = text.find(L"\\n");
  if (at != std::wstring::npos) text.replace(at, 2, L"\r\n");
  return text;
}

std::wstring MarkersToSpaces(std::wstring text) {
  for (size_t at = text.find(L"\\n"); at != std::wstring::npos; at = text.find(L"\\n", at + 1)) text.replace(at, 2, L" ");
  return text;
}

void ActivateOwnerOf(HWND owner) {
  if (!owner) return;
  HWND root = ::GetAncestor(owner, GA_ROOT);
  if (root && ::GetActiveWindow() != root) ::SetActiveWindow(root);
}

void TrackHoverByCapture(CWnd& control, UINT flags, POINT client, bool hovered,
                         const std::function<void(bool)>& setHover) {
  const bool leftDown = (flags & MK_LBUTTON) != 0;
  if (leftDown && !hovered) return;
  if (::GetCapture() != control.m_hWnd && ::GetActiveWindow() && control.GetOwnerHwnd()) {
    setHover(true);
    control.SetCapture();
    return;
  }
  control.ClientToScreen(&client);
  HWND under = ::WindowFromPoint(client);
  if (!under || under == control.m_hWnd) return;
  if (hovered) setHover(false);
  if (!leftDown) ::ReleaseCapture();
}

void WholeWindowTip::SetText(CWnd& window, const wchar_t* text, bool translate) {
  if (!text) return;
  m_text = text;
  if (translate) m_text = CurrentLangTable ? MarkersToSpaces(TranslateText(text)) : std::wstring();
  m_hasText = true;
  if (m_control.m_hWnd) m_control.UpdateTipText(m_text, &window, 1);
}

void WholeWindowTip::Make(CWnd& window) {
  if (!m_control.Create(&window)) return;
  RECT client;
  window.GetClientRect(&client);
  m_control.AddTool(&window, m_text, &client, 1);
  m_control.Activate(TRUE);
}

void WholeWindowTip::Relay(CWnd& window, MSG* msg) {
  if (!msg || msg->message < WM_MOUSEFIRST || msg->message > WM_MOUSELAST) return;
  if (!m_control.m_hWnd && m_hasText && window.m_hWnd) Make(window);
  if (m_control.m_hWnd) m_control.RelayEvent(msg);
}

int DrawControlText(HDC dc, const std::wstring& text, RECT* rect, UINT format) {
  // DrawText may write an ellipsis into the string (DT_MODIFYSTRING): it gets a
  // copy with room for one, never the caller's text.
  std::vector<wchar_t> buffer(text.begin(), text.end());
  buffer.resize(text.size() + 5, L'\0');
  return ::DrawTextW(dc, buffer.data(), static_cast<int>(text.size()), rect, format);
}

}  // namespace gui
