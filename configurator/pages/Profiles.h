// What the profiles page decides on its own, apart from the window.
#pragma once
#include <functional>
#include <string>

namespace configurator {

// The name of a copy of the profile named `source`: the name, cut to its first
// 18 characters when it has 20 or more, followed by "(n)" with the first n from
// 2 to 99 whose name is not taken. Empty when all of them are.
std::wstring CopyNameFor(const std::wstring& source, const std::function<bool(const std::wstring&)>& taken);

}  // namespace configurator
