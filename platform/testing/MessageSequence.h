// Whole message sequences in tests: the expected messages as a table, compared
// with what a recording window saw, with both sides listed when they differ.
//
// Wine (and Windows) add messages of their own to most sequences, so only the
// messages the test is about are compared: by default the ones its table names,
// or an explicit set (which may hold messages that must not appear at all).
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/testing/GuiTestHost.h"

namespace platform::testing {

// A parameter an expected message leaves open.
struct AnyParam {};
inline constexpr AnyParam kAnyParam{};

struct ExpectedMessage {
  // Implicit, so that a table entry may be the message alone.
  ExpectedMessage(UINT message) : msg(message) {}
  ExpectedMessage(UINT message, WPARAM w) : msg(message), wParam(w) {}
  ExpectedMessage(UINT message, WPARAM w, LPARAM l) : msg(message), wParam(w), lParam(l) {}
  ExpectedMessage(UINT message, AnyParam, LPARAM l) : msg(message), lParam(l) {}

  UINT msg;
  std::optional<WPARAM> wParam;
  std::optional<LPARAM> lParam;
};

using ExpectedSequence = std::vector<ExpectedMessage>;
using MessageSet = std::set<UINT>;

// What a recording window saw, message and parameters.
struct RecordedMessage {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

// The name of a system message ("WM_COMMAND"), a registered message's own name,
// "reflected WM_NOTIFY" for the window layer's reflected notifications, else hex.
std::string MessageName(UINT msg);

// Success when the messages of `actual` that lie in `about` (the table's own
// messages when `about` is empty) are exactly `expected`, in order; an empty
// table with an empty set asks for no message at all. The failure lists both
// sequences side by side and marks the first difference.
::testing::AssertionResult SequenceMatches(const std::vector<RecordedMessage>& actual, const ExpectedSequence& expected,
                                           const MessageSet& about = {});
::testing::AssertionResult SequenceMatches(const std::vector<SentMessage>& actual, const ExpectedSequence& expected,
                                           const MessageSet& about = {});
// Messages recorded without their parameters: the table must leave them open.
::testing::AssertionResult SequenceMatches(const std::vector<UINT>& actual, const ExpectedSequence& expected,
                                           const MessageSet& about = {});

}  // namespace platform::testing
