#include "gui/controls/EditItem.h"

#include <string>

#include "gui/Messages.h"
#include "gui/skin/FontItem.h"

namespace {

// Above every 32-bit bound: a saturated value is always refused.
constexpr uint64_t kSaturatedValue = uint64_t{1} << 40;

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool IsAllowedNumericKey(WPARAM key) {
  return key == VK_BACK || key == VK_LEFT || key == VK_RIGHT || key == VK_DELETE || (key >= 0x30 && key <= 0x39) ||
         (key >= VK_NUMPAD0 && key <= VK_NUMPAD9);
}

std::wstring ClipboardText(HWND owner) {
  std::wstring text;
  if (!::IsClipboardFormatAvailable(CF_UNICODETEXT) || !::OpenClipboard(owner)) return text;
  if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    const SIZE_T bytes = ::GlobalSize(data);
    if (const auto* chars = static_cast<const wchar_t*>(::GlobalLock(data))) {
      const size_t limit = bytes / sizeof(wchar_t);
      size_t n = 0;
      while (n < limit && chars[n]) ++n;  // bounded by the block, terminator or not
      text.assign(chars, n);
      ::GlobalUnlock(data);
    }
  }
  ::CloseClipboard();
  return text;
}

}  // namespace

CEditItem::CEditItem() {}

CEditItem::~CEditItem() = default;

uint64_t CEditItem::TextValue(std::wstring_view text) {
  uint64_t value = 0;
  for (wchar_t c : text) {
    if (!IsDigit(c)) break;
    value = value * 10 + static_cast<uint64_t>(c - L'0');
    if (value >= kSaturatedValue) return kSaturatedValue;
  }
  return value;
}

void CEditItem::SetBackColor(COLORREF colour) {
  m_clrBack = colour;
  if (m_hWnd) {
    m_brush.DeleteObject();
    m_brush.CreateSolidBrush(m_clrBack);
    Invalidate();
  }
}

void CEditItem::SetBackColorDisabled(COLORREF colour) {
  m_clrBackDisabled = colour;
  if (m_hWnd) {
    m_brushDisabled.DeleteObject();
    m_brushDisabled.CreateSolidBrush(m_clrBackDisabled);
    Invalidate();
  }
}

BOOL CEditItem::PreTranslateMessage(MSG* msg) {
  if (m_numeric == 1) {
    switch (msg->message) {
      case WM_KEYDOWN:
        if (m_passesEnterAndEsc == 1 && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) break;
        if (!IsAllowedNumericKey(msg->wParam)) return TRUE;
        break;
      case WM_CHAR: {
        const auto c = static_cast<wchar_t>(msg->wParam);
        if (IsDigit(c)) {
          const std::wstring text = GetWindowText();
          const uint64_t digit = static_cast<uint64_t>(c - L'0');
          uint64_t value = text.empty() ? digit : TextValue(text) * 10 + digit;
          if (value > kSaturatedValue) value = kSaturatedValue;
          if (!AcceptsValue(value)) return TRUE;
        } else if (c != VK_BACK) {
          return TRUE;
        }
        break;
      }
      case WM_CONTEXTMENU:
        return TRUE;
      default:
        break;
    }
  }
  return CEdit::PreTranslateMessage(msg);
}

bool CEditItem::PasteAllowed() const {
  const std::wstring pasted = ClipboardText(m_hWnd);
  if (pasted.empty()) return false;
  for (wchar_t c : pasted) {
    if (!IsDigit(c)) return false;
  }
  // The text as the paste leaves it: the selection replaced by the pasted digits.
  std::wstring text = GetWindowText();
  DWORD start = 0, end = 0;
  SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  if (start > text.size()) start = static_cast<DWORD>(text.size());
  if (end > text.size() || end < start) end = start;
  text.replace(start, end - start, pasted);
  for (wchar_t c : text) {
    if (!IsDigit(c)) return false;
  }
  return AcceptsValue(TextValue(text));
}

LRESULT CEditItem::OnCtlColor(HDC dc) {
  const bool enabled = IsWindowEnabled() != FALSE;
  ::SetTextColor(dc, enabled ? m_clrText : m_clrTextDisabled);
  ::SetBkColor(dc, enabled ? m_clrBack : m_clrBackDisabled);
  ::SetDCPenColor(dc, enabled ? m_clrBorder : m_clrBorderDisabled);
  ::SetDCBrushColor(dc, enabled ? m_clrBorder : m_clrBorderDisabled);
  return reinterpret_cast<LRESULT>(enabled ? m_brush.GetSafeHandle() : m_brushDisabled.GetSafeHandle());
}

bool CEditItem::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_CREATE:
      result = Default();
      m_brush.DeleteObject();
      m_brush.CreateSolidBrush(m_clrBack);
      m_brushDisabled.DeleteObject();
      m_brushDisabled.CreateSolidBrush(m_clrBackDisabled);
      Invalidate();
      if (m_font) SetFont(static_cast<HFONT>(m_font->GetSafeHandle()), TRUE);
      return true;
    case platform::Reflected(WM_CTLCOLOREDIT):
    case platform::Reflected(WM_CTLCOLORSTATIC):
      result = OnCtlColor(reinterpret_cast<HDC>(wParam));
      return true;
    case WM_ERASEBKGND:
      result = 0;
      return true;
    case WM_RBUTTONDOWN:
      result = 0;
      return true;
    case WM_CONTEXTMENU:
      // Sent, so the filter above never sees it: the menu would offer Paste.
      if (m_numeric == 1) {
        result = 0;
        return true;
      }
      break;
    case WM_PASTE:
      if (m_numeric == 1 && !PasteAllowed()) {
        result = 0;
        return true;
      }
      break;
    case platform::Reflected(WM_COMMAND):
      switch (HIWORD(wParam)) {
        case EN_UPDATE:
          result = 0;
          return true;
        case EN_CHANGE:
          if (HWND parent = GetParentHwnd()) ::SendMessageW(parent, EditChangedMessage, 0, reinterpret_cast<LPARAM>(m_hWnd));
          result = 0;
          return true;
        default:
          break;
      }
      break;
    default:
      break;
  }
  return CEdit::OnMessage(msg, wParam, lParam, result);
}
