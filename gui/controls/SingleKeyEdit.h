// Edits that capture one key instead of text: the single-key edit shows the name
// of the last key pressed; the combination edit captures Shift, Ctrl and Alt with
// one key and reports every change of the capture to its owner. Both read the
// keyboard through raw input registered for their window.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "device/KeyEvent.h"
#include "gui/controls/EditItem.h"

class CEditItemSingleKeyInput : public CEditItem {
 public:
  CEditItemSingleKeyInput();
  // Removes the raw-input registration when this edit made it.
  ~CEditItemSingleKeyInput() override;

  // Key messages that reach the edit (raw input not registered) become the key
  // event; the keys a capture leaves to the system are eaten.
  BOOL PreTranslateMessage(MSG* msg) override;

  // Asks the framework's registrar for the keyboard's raw input with this
  // window as target. True when this edit now holds the registration; a
  // registration someone else holds (the macro display while it records) is
  // left alone, and never removed by this edit.
  bool RegisterRawKeyboard();
  bool OwnsRawInputRegistration() const { return m_ownsRegistration; }

  // Replaces the whole text by `name`, whatever the edit's text limit.
  void ShowKeyName(const std::wstring& name);

  KeyEvent m_keyEvent;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // A usable keyboard record from WM_INPUT.
  virtual void OnRawKey(const RAWKEYBOARD& record);
  // A key message that was not eaten.
  virtual void OnKeyMessage();

 private:
  void ReleaseRegistration();
  bool m_ownsRegistration = false;
};

class CEditItemSingleKeyInputMMO : public CEditItemSingleKeyInput {
 public:
  // Whole seconds of the calendar time, replaceable for tests.
  using SecondsClock = std::function<int64_t()>;

  static constexpr uint8_t kModifierExtended = 0x01;
  static constexpr uint8_t kModifierAlt = 0x02;
  static constexpr uint8_t kModifierCtrl = 0x04;
  static constexpr uint8_t kModifierShift = 0x08;

  enum CaptureState : int { kIdle = 0, kModifierHeld = 1, kKeyCaptured = 2, kDone = 6 };

  CEditItemSingleKeyInputMMO();
  ~CEditItemSingleKeyInputMMO() override;

  BOOL PreTranslateMessage(MSG* msg) override;

  void SetClock(SecondsClock clock) { m_clock = std::move(clock); }
  // One key event for the capture machine (scan code, pressed or released,
  // extended, the key's name and virtual key).
  void FeedKey(int scanCode, bool pressed, bool extended, const std::wstring& name, int virtualKey);

  int m_captureState = kIdle;
  int64_t m_timeStamp = 0;
  bool m_hasTimeStamp = false;
  uint16_t m_capturedScanCode = 0;
  uint16_t m_capturedVirtualKey = 0;
  std::wstring m_captureText;
  uint8_t m_modifiers = 0;  // kModifier* bits

 protected:
  void OnRawKey(const RAWKEYBOARD& record) override;
  void OnKeyMessage() override;

 private:
  void Capture(int scanCode, bool extended, const std::wstring& name, int virtualKey);
  void Report();
  void HandleEvent(bool pressed, bool modifier, uint8_t bit, int64_t now, const std::function<void()>& capture);
  SecondsClock m_clock;
};
