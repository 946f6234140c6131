// One key of the on-screen keyboard picture: a bitmap button that knows its key
// definition, shows the key's name as its tooltip, can be marked as the selected
// key, and tells its owner about every mouse move over it and every click on it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "gui/controls/BitmapBtn.h"

struct KeyDefinition;

// Where a key lies in the keyboard pictures: the five skin images of its BMPINFO
// (normal, over, down, the "SBMDS" image, mask; each may be null) and the key's
// rectangle in them. The images belong to the skin resource cache.
struct KeyPictureInfo {
  HBITMAP normal = nullptr;
  HBITMAP over = nullptr;
  HBITMAP down = nullptr;
  HBITMAP disabled = nullptr;
  HBITMAP mask = nullptr;
  RECT rect{};
};

class CKeyboardKeyItem : public CBitmapBtn {
 public:
  // A check box whose clicks never toggle it: the checked state (the key's
  // assigned mark) is the owner's to set.
  CKeyboardKeyItem();
  ~CKeyboardKeyItem() override;

  // Copies the record when one is given.
  void SetPictureInfo(const KeyPictureInfo* info);
  // Scan code, virtual key, extended flag and (when the skin gave none) the
  // system's name of the key from m_keyDef; the name becomes the tooltip.
  void UpdateKeyLabel();
  void ClearSelected();
  // The key id of m_keyDef, the key's identity for the configuration; 0 without one.
  int32_t KeyId() const;

  void DrawItem(DRAWITEMSTRUCT* dis) override;

  const KeyDefinition* m_keyDef = nullptr;
  std::wstring m_keyName;
  int m_virtualKey = -1;
  int m_scanCode = -1;
  uint8_t m_extended = 0;
  uint8_t m_selected = 0;
  KeyPictureInfo m_pictureInfo{};

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};
