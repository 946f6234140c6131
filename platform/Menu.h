// A move-only owner of a menu handle: the menu is destroyed once, by whichever
// owner holds it last (moving leaves the source empty).
#pragma once
#include <windows.h>

#include <utility>

class CMenu {
 public:
  CMenu() = default;
  explicit CMenu(HMENU adopted) : m_hMenu(adopted) {}
  ~CMenu() { DestroyMenu(); }
  CMenu(CMenu&& other) noexcept : m_hMenu(std::exchange(other.m_hMenu, nullptr)) {}
  CMenu& operator=(CMenu&& other) noexcept {
    if (this != &other) {
      DestroyMenu();
      m_hMenu = std::exchange(other.m_hMenu, nullptr);
    }
    return *this;
  }
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;

  HMENU GetSafeHmenu() const { return m_hMenu; }
  explicit operator bool() const { return m_hMenu != nullptr; }

  // LoadMenuW; whatever was held before is destroyed first. False when missing.
  bool LoadMenu(HINSTANCE instance, UINT id) {
    DestroyMenu();
    m_hMenu = ::LoadMenuW(instance, MAKEINTRESOURCEW(id));
    return m_hMenu != nullptr;
  }
  // The pop-up at `position`, owned by this menu (null when there is none).
  HMENU GetSubMenu(int position) const { return m_hMenu ? ::GetSubMenu(m_hMenu, position) : nullptr; }
  HMENU Detach() { return std::exchange(m_hMenu, nullptr); }
  // Destroys the held menu (if any) and leaves the owner empty.
  BOOL DestroyMenu() {
    HMENU menu = std::exchange(m_hMenu, nullptr);
    return menu ? ::DestroyMenu(menu) : FALSE;
  }

 private:
  HMENU m_hMenu = nullptr;
};
