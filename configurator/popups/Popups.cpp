#include "configurator/popups/Popups.h"

#include "configurator/popups/ChoicePopups.h"
#include "configurator/popups/EntryPopups.h"
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
  INT_PTR NameEntry(CWnd* parent, const std::wstring& skinFile, std::wstring& name) override {
    CMorvelNameEntryPopup popup(parent, skinFile, &name);
    return popup.DoModal();
  }
  INT_PTR NumberEntry(CWnd* parent, const std::wstring& skinFile, int& number) override {
    number = 0;
    CMorvelNumEntryPopup popup(parent, skinFile, &number);
    return popup.DoModal();
  }
  INT_PTR DropdownSelect(CWnd* parent, const std::wstring& skinFile, const std::vector<std::wstring>& names,
                         std::wstring& name) override {
    CMorvelDropdownSelectPopup popup(parent, skinFile, names, &name);
    return popup.DoModal();
  }
  INT_PTR MacroAssignment(CWnd* parent, const std::wstring& skinFile, int& playMode,
                          const std::vector<std::wstring>& names, std::wstring& name) override {
    CMorvelMacroAssignmentPopup popup(parent, skinFile, &playMode, names, &name);
    return popup.DoModal();
  }
  INT_PTR SingleKey(CWnd* parent, const std::wstring& skinFile, std::wstring& text, int16_t& scanCode,
                    int16_t& virtualKey, uint8_t& flags) override {
    SingleKeyResult result;
    INT_PTR answer = kPopupCancelled;
    if (skinFile == kEditKeyPopup) {
      const SingleKeyResult start{text, static_cast<uint16_t>(scanCode), static_cast<uint16_t>(virtualKey), flags};
      CEditKeyPopup popup(parent, skinFile, start, &result);
      answer = popup.DoModal();
    } else {
      CPellinPopupBoxSingleKeyEntry popup(parent, skinFile, &result);
      answer = popup.DoModal();
    }
    text = result.name;
    scanCode = static_cast<int16_t>(result.scanCode);
    virtualKey = static_cast<int16_t>(result.virtualKey);
    flags = result.flags;
    return answer;
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
