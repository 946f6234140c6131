// For tests of the skinned lists: the host copies each list message's record
// (row id, column, and the text or check state it points at) during the call.
#pragma once
#include "gui/Messages.h"
#include "gui/controls/XListCtrl.h"
#include "platform/testing/GuiTestHost.h"

namespace gui::testing {

// values = {row id, column} and, for ListCheckToggledMessage, the new state
// (0/1); text = the record's text for the messages that carry one.
inline void WatchListMessages(platform::testing::GuiTestHost& host) {
  auto copy = [](bool text, bool state) {
    return [text, state](platform::testing::SentMessage& record, WPARAM, LPARAM lParam) {
      const auto* r = reinterpret_cast<const ListMessageRecord*>(lParam);
      if (!r) return;
      record.values = {r->rowId, r->column};
      if (state && r->data) record.values.push_back(*static_cast<const bool*>(r->data) ? 1 : 0);
      if (text && r->data) record.text = static_cast<const wchar_t*>(r->data);
    };
  };
  host.SetRecordCopier(ListAssignApplicationMessage, copy(true, false));
  host.SetRecordCopier(ListCheckToggledMessage, copy(false, true));
  host.SetRecordCopier(ListDoubleClickMessage, copy(false, false));
  host.SetRecordCopier(ListActionMessage, copy(true, false));
  host.SetRecordCopier(ListRenameDoneMessage, copy(true, false));
  host.SetRecordCopier(ListMenuOpeningMessage, copy(false, false));
}

}  // namespace gui::testing
