#include "platform/Strings.h"

#include <gtest/gtest.h>

using platform::EqualsNoCase;

TEST(Strings, EqualsNoCaseIsOrdinal) {
  struct Case { const wchar_t* a; const wchar_t* b; bool equal; } cases[] = {
      {L"BUTTON_OK", L"button_ok", true},
      {L"", L"", true},
      {L"abc", L"abcd", false},
      {L"\u00e9t\u00e9", L"\u00c9T\u00c9", true},  // non-ASCII letters fold too
      {L"i", L"\u0130", false},                    // no Turkish dotted-I folding
  };
  for (const auto& c : cases) EXPECT_EQ(EqualsNoCase(c.a, c.b), c.equal) << "case " << &c - cases;
}

TEST(Strings, Utf8RoundTripAndTrim) {
  const std::wstring w = L"Gr\u00fc\u00dfe \u4e2d";
  EXPECT_EQ(platform::Utf8ToWide(platform::WideToUtf8(w)), w);
  EXPECT_EQ(platform::Trim(L" \t a b \r\n"), L"a b");
  EXPECT_EQ(platform::Trim(L"   "), L"");
}
