#include "gui/controls/ControlHelpers.h"

#include <vector>

#include "gui/skin/LangTable.h"

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

void EnsureToolTip(CToolTipCtrl& tip, CWnd& window) {
  if (tip.m_hWnd || !window.m_hWnd) return;
  if (tip.Create(&window)) tip.Activate(FALSE);
}

void SetWholeWindowTip(CToolTipCtrl& tip, CWnd& window, const wchar_t* text, bool translate) {
  if (!text) return;
  EnsureToolTip(tip, window);
  if (!tip.m_hWnd) return;
  if (tip.GetToolCount() == 0) {
    RECT client;
    window.GetClientRect(&client);
    tip.AddTool(&window, text, &client, 1);
  }
  std::wstring shown = text;
  if (translate) shown = CurrentLangTable ? MarkersToSpaces(TranslateText(text)) : std::wstring();
  tip.UpdateTipText(shown, &window, 1);
  tip.Activate(TRUE);
}

int DrawControlText(HDC dc, const std::wstring& text, RECT* rect, UINT format) {
  // DrawText may write an ellipsis into the string (DT_MODIFYSTRING): it gets a
  // copy with room for one, never the caller's text.
  std::vector<wchar_t> buffer(text.begin(), text.end());
  buffer.resize(text.size() + 5, L'\0');
  return ::DrawTextW(dc, buffer.data(), static_cast<int>(text.size()), rect, format);
}

}  // namespace gui
