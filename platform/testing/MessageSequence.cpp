#include "platform/testing/MessageSequence.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

#include "platform/Window.h"

namespace platform::testing {

namespace {

struct Named {
  UINT msg;
  const char* name;
};

// The system messages window tests meet; others print as numbers.
constexpr Named kSystemMessages[] = {
    {WM_NULL, "WM_NULL"},
    {WM_CREATE, "WM_CREATE"},
    {WM_DESTROY, "WM_DESTROY"},
    {WM_MOVE, "WM_MOVE"},
    {WM_SIZE, "WM_SIZE"},
    {WM_ACTIVATE, "WM_ACTIVATE"},
    {WM_SETFOCUS, "WM_SETFOCUS"},
    {WM_KILLFOCUS, "WM_KILLFOCUS"},
    {WM_ENABLE, "WM_ENABLE"},
    {WM_SETTEXT, "WM_SETTEXT"},
    {WM_GETTEXT, "WM_GETTEXT"},
    {WM_GETTEXTLENGTH, "WM_GETTEXTLENGTH"},
    {WM_PAINT, "WM_PAINT"},
    {WM_CLOSE, "WM_CLOSE"},
    {WM_QUIT, "WM_QUIT"},
    {WM_ERASEBKGND, "WM_ERASEBKGND"},
    {WM_SHOWWINDOW, "WM_SHOWWINDOW"},
    {WM_ACTIVATEAPP, "WM_ACTIVATEAPP"},
    {WM_SETCURSOR, "WM_SETCURSOR"},
    {WM_MOUSEACTIVATE, "WM_MOUSEACTIVATE"},
    {WM_GETMINMAXINFO, "WM_GETMINMAXINFO"},
    {WM_DRAWITEM, "WM_DRAWITEM"},
    {WM_MEASUREITEM, "WM_MEASUREITEM"},
    {WM_SETFONT, "WM_SETFONT"},
    {WM_GETFONT, "WM_GETFONT"},
    {WM_WINDOWPOSCHANGING, "WM_WINDOWPOSCHANGING"},
    {WM_WINDOWPOSCHANGED, "WM_WINDOWPOSCHANGED"},
    {WM_NOTIFY, "WM_NOTIFY"},
    {WM_NCCREATE, "WM_NCCREATE"},
    {WM_NCDESTROY, "WM_NCDESTROY"},
    {WM_NCCALCSIZE, "WM_NCCALCSIZE"},
    {WM_NCHITTEST, "WM_NCHITTEST"},
    {WM_NCPAINT, "WM_NCPAINT"},
    {WM_NCACTIVATE, "WM_NCACTIVATE"},
    {WM_GETDLGCODE, "WM_GETDLGCODE"},
    {WM_KEYDOWN, "WM_KEYDOWN"},
    {WM_KEYUP, "WM_KEYUP"},
    {WM_CHAR, "WM_CHAR"},
    {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"},
    {WM_SYSKEYUP, "WM_SYSKEYUP"},
    {WM_INITDIALOG, "WM_INITDIALOG"},
    {WM_COMMAND, "WM_COMMAND"},
    {WM_SYSCOMMAND, "WM_SYSCOMMAND"},
    {WM_TIMER, "WM_TIMER"},
    {WM_HSCROLL, "WM_HSCROLL"},
    {WM_VSCROLL, "WM_VSCROLL"},
    {WM_CTLCOLOREDIT, "WM_CTLCOLOREDIT"},
    {WM_CTLCOLORBTN, "WM_CTLCOLORBTN"},
    {WM_CTLCOLORDLG, "WM_CTLCOLORDLG"},
    {WM_CTLCOLORSTATIC, "WM_CTLCOLORSTATIC"},
    {WM_MOUSEMOVE, "WM_MOUSEMOVE"},
    {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"},
    {WM_LBUTTONUP, "WM_LBUTTONUP"},
    {WM_LBUTTONDBLCLK, "WM_LBUTTONDBLCLK"},
    {WM_RBUTTONDOWN, "WM_RBUTTONDOWN"},
    {WM_RBUTTONUP, "WM_RBUTTONUP"},
    {WM_MOUSEWHEEL, "WM_MOUSEWHEEL"},
    {WM_PARENTNOTIFY, "WM_PARENTNOTIFY"},
    {WM_ENTERIDLE, "WM_ENTERIDLE"},
    {WM_CAPTURECHANGED, "WM_CAPTURECHANGED"},
    {WM_MOUSELEAVE, "WM_MOUSELEAVE"},
    {WM_PRINTCLIENT, "WM_PRINTCLIENT"},
    {BM_CLICK, "BM_CLICK"},
    {BM_SETSTATE, "BM_SETSTATE"},
};

std::string Hex(uintptr_t value) {
  char text[24];
  std::snprintf(text, sizeof(text), "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

std::string Describe(UINT msg, const std::optional<WPARAM>& wParam, const std::optional<LPARAM>& lParam,
                     bool withParams) {
  std::string text = MessageName(msg);
  if (withParams) {
    text += '(';
    text += wParam ? Hex(*wParam) : "*";
    text += ", ";
    text += lParam ? Hex(static_cast<uintptr_t>(*lParam)) : "*";
    text += ')';
  }
  return text;
}

bool Matches(const RecordedMessage& got, const ExpectedMessage& want) {
  return got.msg == want.msg && (!want.wParam || *want.wParam == got.wParam) &&
         (!want.lParam || *want.lParam == got.lParam);
}

::testing::AssertionResult Compare(const std::vector<RecordedMessage>& actual, const ExpectedSequence& expected,
                                   const MessageSet& about, bool withParams) {
  MessageSet compared = about;
  if (compared.empty())
    for (const auto& e : expected) compared.insert(e.msg);
  std::vector<RecordedMessage> seen;
  for (const auto& m : actual)
    if (compared.empty() || compared.count(m.msg)) seen.push_back(m);

  const size_t common = std::min(seen.size(), expected.size());
  size_t firstDifference = common;
  for (size_t i = 0; i < common; ++i) {
    if (!Matches(seen[i], expected[i])) {
      firstDifference = i;
      break;
    }
  }
  if (firstDifference == common && seen.size() == expected.size()) return ::testing::AssertionSuccess();

  std::vector<std::string> left{"expected"}, right{"actual"};
  for (const auto& e : expected) left.push_back(Describe(e.msg, e.wParam, e.lParam, withParams));
  for (const auto& m : seen) right.push_back(Describe(m.msg, m.wParam, m.lParam, withParams));
  size_t width = 0;
  for (const auto& l : left) width = std::max(width, l.size());

  std::string text = "message sequences differ at #" + std::to_string(firstDifference) + " (compared:";
  if (compared.empty()) text += " every message";
  for (UINT m : compared) text += " " + MessageName(m);
  text += ")\n";
  for (size_t row = 0; row < std::max(left.size(), right.size()); ++row) {
    const bool header = row == 0;
    const size_t index = row - 1;
    text += header ? "     " : (index == firstDifference ? "> " : "  ");
    if (!header) {
      char number[8];
      std::snprintf(number, sizeof(number), "%-3zu", index);
      text += number;
    }
    const std::string l = row < left.size() ? left[row] : "-";
    const std::string r = row < right.size() ? right[row] : "-";
    text += l + std::string(width - std::min(width, l.size()) + 3, ' ') + r + "\n";
  }
  return ::testing::AssertionFailure() << text;
}

}  // namespace

std::string MessageName(UINT msg) {
  for (const auto& n : kSystemMessages)
    if (n.msg == msg) return n.name;
  if (msg >= kReflectBase && msg < kReflectBase + 0x200) {
    const UINT original = msg - kReflectBase;
    for (const auto& n : kSystemMessages)
      if (n.msg == original) return std::string("reflected ") + n.name;
  }
  if (msg >= 0xC000 && msg <= 0xFFFF) {
    // Registered messages share the atom table of registered clipboard formats.
    char name[128] = {};
    if (::GetClipboardFormatNameA(msg, name, sizeof(name)) > 0) return std::string("\"") + name + "\"";
  }
  return Hex(msg);
}

::testing::AssertionResult SequenceMatches(const std::vector<RecordedMessage>& actual, const ExpectedSequence& expected,
                                           const MessageSet& about) {
  return Compare(actual, expected, about, true);
}

::testing::AssertionResult SequenceMatches(const std::vector<SentMessage>& actual, const ExpectedSequence& expected,
                                           const MessageSet& about) {
  std::vector<RecordedMessage> records;
  records.reserve(actual.size());
  for (const auto& m : actual) records.push_back({m.msg, m.wParam, m.lParam});
  return Compare(records, expected, about, true);
}

::testing::AssertionResult SequenceMatches(const std::vector<UINT>& actual, const ExpectedSequence& expected,
                                           const MessageSet& about) {
  for (const auto& e : expected)
    if (e.wParam || e.lParam)
      return ::testing::AssertionFailure() << "the messages were recorded without parameters, yet the table expects "
                                           << Describe(e.msg, e.wParam, e.lParam, true);
  std::vector<RecordedMessage> records;
  records.reserve(actual.size());
  for (UINT m : actual) records.push_back({m, 0, 0});
  return Compare(records, expected, about, false);
}

}  // namespace platform::testing
