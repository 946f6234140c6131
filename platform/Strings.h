// Small string helpers shared by every layer. Comparisons "without regard to
// case" are ordinal (the system's invariant upper-case table), never locale-dependent.
#pragma once
#include <string>
#include <string_view>

namespace platform {

// Ordinal comparison ignoring case; true when both texts are equal.
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

// UTF-8 to UTF-16 and back; invalid sequences become U+FFFD.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// White space (space, tab, CR, LF, vertical tab, form feed) removed at both ends.
std::wstring Trim(std::wstring_view text);

}  // namespace platform
