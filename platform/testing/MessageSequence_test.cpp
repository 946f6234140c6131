#include "platform/testing/MessageSequence.h"

#include <gtest/gtest.h>

#include "platform/Window.h"

namespace {

using platform::testing::kAnyParam;
using platform::testing::MessageSet;
using platform::testing::RecordedMessage;
using platform::testing::SequenceMatches;

// The comparison itself: a helper that passed whatever it was given would make
// every sequence test pass with it.
TEST(MessageSequence, ComparesTheChosenMessagesInOrderWithTheParametersGiven) {
  const std::vector<RecordedMessage> seen{
      {WM_NCCREATE, 0, 0}, {WM_COMMAND, 7, 100}, {WM_PAINT, 0, 0}, {WM_COMMAND, 8, 200}, {WM_NCDESTROY, 0, 0}};
  struct Case {
    const char* what;
    platform::testing::ExpectedSequence expected;
    MessageSet about;
    bool matches;
  } cases[] = {
      {"the table's messages only", {{WM_COMMAND, 7, 100}, {WM_COMMAND, 8, 200}}, {}, true},
      {"open parameters", {{WM_COMMAND, kAnyParam, 100}, {WM_COMMAND, 8}}, {}, true},
      {"a wrong parameter", {{WM_COMMAND, 7, 100}, {WM_COMMAND, 8, 201}}, {}, false},
      {"one missing at the end", {{WM_COMMAND, 7, 100}}, {}, false},
      {"one too many", {{WM_COMMAND, 7}, {WM_COMMAND, 8}, {WM_COMMAND, 9}}, {}, false},
      {"the order", {WM_NCDESTROY, WM_NCCREATE}, {}, false},
      {"a set holding a message that must not come", {WM_NCCREATE, WM_NCDESTROY}, {WM_NCCREATE, WM_NCDESTROY, WM_PAINT},
       false},
      {"a set with the unwanted message absent", {WM_NCCREATE, WM_NCDESTROY}, {WM_NCCREATE, WM_NCDESTROY, WM_TIMER},
       true},
      {"no message at all", {}, {}, false},
      {"none of the set", {}, {WM_TIMER}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(static_cast<bool>(SequenceMatches(seen, c.expected, c.about)), c.matches) << c.what;
}

TEST(MessageSequence, AFailureListsBothSidesAndMarksTheFirstDifference) {
  const std::vector<UINT> seen{WM_NCCREATE, WM_CREATE, WM_DESTROY};
  const auto result = SequenceMatches(seen, {WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE});
  ASSERT_FALSE(result);
  const std::string text = result.message();
  EXPECT_NE(text.find("differ at #1"), std::string::npos) << text;
  EXPECT_NE(text.find("> 1  WM_NCCALCSIZE"), std::string::npos) << text;
  EXPECT_NE(text.find("WM_CREATE"), std::string::npos) << text;
  EXPECT_EQ(text.find("WM_DESTROY"), std::string::npos) << text;  // not one of the compared messages
  // Recorded without parameters, a table that asks for them cannot match.
  EXPECT_FALSE(SequenceMatches(seen, {{WM_NCCREATE, 0, 0}}));
}

TEST(MessageSequence, NamesSystemReflectedAndRegisteredMessages) {
  EXPECT_EQ(platform::testing::MessageName(WM_COMMAND), "WM_COMMAND");
  EXPECT_EQ(platform::testing::MessageName(platform::Reflected(WM_NOTIFY)), "reflected WM_NOTIFY");
  EXPECT_EQ(platform::testing::MessageName(::RegisterWindowMessageW(L"OvrixSequenceProbe")), "\"OvrixSequenceProbe\"");
  EXPECT_EQ(platform::testing::MessageName(0x721), "0x721");
}

}  // namespace
