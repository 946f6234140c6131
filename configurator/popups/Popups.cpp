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
};

IPopups* gPopups = nullptr;

}  // namespace

IPopups& Popups() {
  static RealPopups real;
  return gPopups != nullptr ? *gPopups : real;
}

void SetPopups(IPopups* popups) { gPopups = popups; }

}  // namespace configurator
