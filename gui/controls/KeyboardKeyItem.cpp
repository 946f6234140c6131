#include "gui/controls/KeyboardKeyItem.h"

#include "device/KeyboardDef.h"
#include "gui/Messages.h"
#include "platform/Strings.h"

CKeyboardKeyItem::CKeyboardKeyItem() {
  m_isCheckBox = 1;
  m_checked = 0;
  m_toggleMode = 0;
}

CKeyboardKeyItem::~CKeyboardKeyItem() = default;

void CKeyboardKeyItem::SetPictureInfo(const KeyPictureInfo* info) {
  if (info) m_pictureInfo = *info;
}

int32_t CKeyboardKeyItem::KeyId() const { return m_keyDef ? m_keyDef->id : 0; }

void CKeyboardKeyItem::UpdateKeyLabel() {
  const int32_t keyId = KeyId();
  const KeyCode code = GlobalKeyboardDef().GetKeyScanCode(keyId);
  m_scanCode = code.code;
  m_virtualKey = static_cast<int>(::MapVirtualKeyExW(static_cast<UINT>(m_scanCode) & 0xFFFF, MAPVK_VSC_TO_VK_EX, nullptr));
  m_extended = code.flag == 1 ? 1 : 0;
  if (m_keyName.empty()) {
    // Bits 16-23 of the key message's lParam hold the scan code, bit 24 the
    // extended flag; a code that does not fit is kept out of the flag bit.
    LONG lParam = static_cast<LONG>((static_cast<uint32_t>(m_scanCode) & 0xFF) << 16);
    if (m_extended == 1 || keyId == 0 || (m_keyDef && m_keyDef->value2 == 0x55)) lParam |= 0x1000000;
    wchar_t name[256] = {};
    const int length = ::GetKeyNameTextW(lParam, name, 256);
    if (length >= 1) m_keyName.assign(name, static_cast<size_t>(length));
  }
  // A lone "&" would be taken for a mnemonic prefix and show nothing.
  if (platform::EqualsNoCase(m_keyName, L"&")) m_keyName = L"&&";
  SetTooltipText(m_keyName);
}

void CKeyboardKeyItem::ClearSelected() {
  m_selected = 0;
  Invalidate();
}

void CKeyboardKeyItem::DrawItem(DRAWITEMSTRUCT* dis) {
  if (!dis || !dis->hDC) return;
  const bool disabled = (dis->itemState & ODS_DISABLED) != 0;
  // Keys use neither the mask nor the blink.
  const CBitmap& face = (disabled || (!m_hover && !m_selected)) ? (m_checked ? m_bmpDown : m_bmpNormal) : m_bmpOver;
  RECT client;
  GetClientRect(&client);
  const int width = client.right, height = client.bottom;

  CDC faceDc;
  faceDc.CreateCompatibleDC(dis->hDC);
  platform::SelectGuard selectFace(faceDc, face.GetSafeHandle());
  if (m_caption.empty()) {
    if (!face.IsNull()) ::BitBlt(dis->hDC, 0, 0, width, height, faceDc, 0, 0, SRCCOPY);
    return;
  }
  CDC memory;
  memory.CreateCompatibleDC(dis->hDC);
  CBitmap surface;
  surface.CreateCompatibleBitmap(dis->hDC, width, height);
  platform::SelectGuard selectSurface(memory, surface.GetSafeHandle());
  memory.BitBlt(0, 0, width, height, dis->hDC, 0, 0, SRCCOPY);
  if (!face.IsNull()) memory.BitBlt(0, 0, width, height, faceDc, 0, 0, SRCCOPY);
  DrawCaptionAndCopy(dis, memory, ChooseTextColour(dis->itemState));
}

bool CKeyboardKeyItem::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  // The owner hears of the key first; the button's own handling follows.
  if (msg == WM_MOUSEMOVE) ::SendMessageW(GetOwnerHwnd(), KeyHoverMessage, 0, id);
  else if (msg == WM_LBUTTONDOWN) ::SendMessageW(GetOwnerHwnd(), KeyClickMessage, 0, id);
  return CBitmapBtn::OnMessage(msg, wParam, lParam, result);
}
