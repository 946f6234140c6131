#include "gui/controls/SingleKeyEdit.h"

#include <ctime>

#include "device/RawInput.h"
#include "gui/Messages.h"

CEditItemSingleKeyInput::CEditItemSingleKeyInput() {}

CEditItemSingleKeyInput::~CEditItemSingleKeyInput() { ReleaseRegistration(); }

bool CEditItemSingleKeyInput::RegisterRawKeyboard() {
  if (m_ownsRegistration) return true;
  RawInputRegistrar& registrar = FrameworkRawInputRegistrar();
  registrar.AddUsage(RawInputRegistrar::kUsageKeyboard);
  m_ownsRegistration = registrar.Register(m_hWnd);
  return m_ownsRegistration;
}

void CEditItemSingleKeyInput::ReleaseRegistration() {
  if (!m_ownsRegistration) return;
  m_ownsRegistration = false;
  FrameworkRawInputRegistrar().Unregister();
}

void CEditItemSingleKeyInput::ShowKeyName(const std::wstring& name) {
  const LRESULT limit = SendMessage(EM_GETLIMITTEXT);
  SetLimitText(static_cast<UINT>(name.size()));
  SetSel(0, -1);
  SendMessage(EM_SCROLLCARET);
  ReplaceSel(name);
  SetLimitText(static_cast<UINT>(limit));
}

BOOL CEditItemSingleKeyInput::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) {
    // A key left to the system changes nothing, the key event included: it
    // stays the key the field shows.
    KeyEvent event = m_keyEvent;
    if (KeyEventFromMessage(msg, event)) return TRUE;
    m_keyEvent = std::move(event);
    OnKeyMessage();
    return FALSE;
  }
  return CEditItem::PreTranslateMessage(msg);
}

void CEditItemSingleKeyInput::OnKeyMessage() { ShowKeyName(m_keyEvent.name); }

void CEditItemSingleKeyInput::OnRawKey(const RAWKEYBOARD& record) {
  if (KeyEventFromRawInput(m_keyEvent, &record)) ShowKeyName(m_keyEvent.name);
}

bool CEditItemSingleKeyInput::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_INPUT: {
      device::RawInputRecord record;
      if (device::ReadRawInput(lParam, record)) {
        if (const RAWKEYBOARD* keyboard = record.Keyboard()) OnRawKey(*keyboard);
      }
      result = Default();  // the system frees the input
      return true;
    }
    case WM_CHAR:
    case WM_SYSCHAR:
    case WM_PASTE:
      // The field shows key names only: no typed or pasted text.
      result = 0;
      return true;
    case WM_DESTROY:
      // A popup's window goes before its items: a keyboard registration left on a
      // dead window would keep every key message from the program.
      ReleaseRegistration();
      break;
    default:
      break;
  }
  return CEditItem::OnMessage(msg, wParam, lParam, result);
}

// ---- Combination capture ---------------------------------------------------

namespace {

uint8_t ModifierBit(int scanCode) {
  switch (scanCode) {
    case 29: return CEditItemSingleKeyInputMMO::kModifierCtrl;
    case 42: case 54: return CEditItemSingleKeyInputMMO::kModifierShift;
    case 56: return CEditItemSingleKeyInputMMO::kModifierAlt;
    default: return 0;
  }
}

constexpr uint8_t kModifierBits = CEditItemSingleKeyInputMMO::kModifierAlt | CEditItemSingleKeyInputMMO::kModifierCtrl |
                                  CEditItemSingleKeyInputMMO::kModifierShift;

}  // namespace

CEditItemSingleKeyInputMMO::CEditItemSingleKeyInputMMO()
    : m_clock([] { return static_cast<int64_t>(std::time(nullptr)); }) {}

CEditItemSingleKeyInputMMO::~CEditItemSingleKeyInputMMO() = default;

BOOL CEditItemSingleKeyInputMMO::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) {
    KeyEvent event = m_keyEvent;
    if (KeyEventFromMessage(msg, event)) return TRUE;
    m_keyEvent = std::move(event);
    OnKeyMessage();
    return FALSE;
  }
  return CEditItem::PreTranslateMessage(msg);
}

void CEditItemSingleKeyInputMMO::OnKeyMessage() {
  SetWindowText(m_captureText);
  const int end = static_cast<int>(m_captureText.size());
  SetSel(end, end);
}

void CEditItemSingleKeyInputMMO::OnRawKey(const RAWKEYBOARD& record) {
  const bool usable = KeyEventFromRawInput(m_keyEvent, &record);
  // The fake Shift around extended keys and the fake Ctrl of Pause are no keys;
  // nor is any other record the conversion refuses.
  if (record.VKey == 0xFF && record.MakeCode == 42) return;
  if (record.VKey == VK_PAUSE && record.MakeCode == 29) return;
  if (!usable) return;
  FeedKey(m_keyEvent.scanCode, m_keyEvent.state == kMacroStatePressed, (m_keyEvent.flags & kKeyFlagExtended) != 0,
          m_keyEvent.name, m_keyEvent.virtualKey);
}

void CEditItemSingleKeyInputMMO::Capture(int scanCode, bool extended, const std::wstring& name, int virtualKey) {
  m_captureState = kKeyCaptured;
  m_capturedScanCode = static_cast<uint16_t>(scanCode);
  m_captureText = name;
  m_capturedVirtualKey = static_cast<uint16_t>(virtualKey);
  // The extended bit belongs to the captured key alone.
  m_modifiers = static_cast<uint8_t>((m_modifiers & ~kModifierExtended) | (extended ? kModifierExtended : 0));
  Report();
}

void CEditItemSingleKeyInputMMO::Report() {
  SetWindowText(m_captureText);
  const int end = static_cast<int>(m_captureText.size());
  SetSel(end, end);
  if (HWND owner = GetOwnerHwnd()) ::SendMessageW(owner, KeyCapturedMessage, 0, reinterpret_cast<LPARAM>(m_hWnd));
}

void CEditItemSingleKeyInputMMO::FeedKey(int scanCode, bool pressed, bool extended, const std::wstring& name,
                                         int virtualKey) {
  const int64_t now = m_clock();
  if (!m_hasTimeStamp) {
    m_timeStamp = now;
    m_hasTimeStamp = true;
  }
  const uint8_t bit = ModifierBit(scanCode);
  const bool modifier = bit != 0;
  HandleEvent(pressed, modifier, bit, now, [&] { Capture(scanCode, extended, name, virtualKey); });
  // After any report: a released modifier's bit goes, so the owner saw it set
  // in the report its release caused.
  if (modifier && !pressed) m_modifiers &= static_cast<uint8_t>(~bit);
}

void CEditItemSingleKeyInputMMO::HandleEvent(bool pressed, bool modifier, uint8_t bit, int64_t now,
                                             const std::function<void()>& capture) {
  int state = m_captureState;
  if (state == kDone) {
    // Only Alt, Ctrl and Shift count as modifiers held; the extended bit is the key's.
    if (pressed && !modifier && (m_modifiers & kModifierBits) != 0) {
      capture();
      return;
    }
    if (now == m_timeStamp) {
      m_timeStamp = now;
      return;
    }
    m_capturedScanCode = 0;
    m_captureText.clear();
    m_modifiers &= static_cast<uint8_t>(~kModifierExtended);
    m_captureState = state = kIdle;
  }
  switch (state) {
    case kIdle:
      if (pressed && modifier) {
        m_captureState = kModifierHeld;
        m_modifiers |= bit;
        Report();
      } else if (pressed) {
        capture();
      }
      break;
    case kModifierHeld:
      if (!pressed) {
        m_captureState = kDone;
        m_modifiers |= bit;
        Report();
      } else if (modifier) {
        m_modifiers |= bit;
        Report();
      } else {
        capture();
      }
      break;
    case kKeyCaptured:
      if (modifier) {
        m_modifiers |= bit;  // down or up: no report
      } else if (pressed) {
        capture();
      } else {
        m_captureState = kDone;
        Report();
      }
      break;
    default:
      break;
  }
}
