#include "configurator/popups/Popups.h"

#include "configurator/popups/WarningDlg.h"

namespace configurator {
namespace {

class RealPopups final : public IPopups {
 public:
  INT_PTR Warning(CWnd* parent, const std::wstring& skinFile, const std::wstring& heading,
                  const std::wstring* extra) override {
    CMorvelWarningDlg popup(parent, skinFile, extra);
    if (!heading.empty()) popup.SetHeadingText(heading);
    return popup.DoModal();
  }
  // The entry popups need the skinned edit and drop-down controls; until they are
  // part of the framework these popups answer "cancelled", which changes nothing.
  INT_PTR NumberEntry(CWnd*, const std::wstring&, int& number) override {
    number = 0;
    return kPopupCancelled;
  }
  INT_PTR DropdownSelect(CWnd*, const std::wstring&, const std::vector<std::wstring>&, std::wstring&) override {
    return kPopupCancelled;
  }
  INT_PTR MacroAssignment(CWnd*, const std::wstring&, int&, const std::vector<std::wstring>&,
                          std::wstring&) override {
    return kPopupCancelled;
  }
  INT_PTR SingleKey(CWnd*, const std::wstring&, std::wstring& text, int16_t& scanCode, int16_t& virtualKey,
                    uint8_t& flags) override {
    text.clear();
    scanCode = virtualKey = 0;
    flags = 0;
    return kPopupCancelled;
  }
};

IPopups* gPopups = nullptr;

}  // namespace

IPopups& Popups() {
  static RealPopups real;
  return gPopups != nullptr ? *gPopups : real;
}

void SetPopups(IPopups* popups) { gPopups = popups; }

}  // namespace configurator
