// How a profile that would take a name already in use gets one of its own: a copy,
// and an imported profile, follow the same rule. Names are compared exactly here:
// two profiles whose names differ only in case are different profiles.
#pragma once
#include <cstddef>
#include <functional>
#include <string>

namespace device {

// The name of a copy of the profile named `source`: the name, cut to its first
// 18 characters when it has 20 or more, followed by "(n)" with the first n from
// 2 to 99 whose name is not taken. Empty when all of them are.
inline std::wstring CopyNameFor(const std::wstring& source, const std::function<bool(const std::wstring&)>& taken) {
  constexpr std::size_t kLongNameChars = 20;
  constexpr std::size_t kCopyBaseChars = 18;
  constexpr int kFirstCopyNumber = 2, kLastCopyNumber = 99;
  std::wstring base = source;
  if (base.size() >= kLongNameChars) base.resize(kCopyBaseChars);
  for (int n = kFirstCopyNumber; n <= kLastCopyNumber; ++n) {
    std::wstring candidate = base + L"(" + std::to_wstring(n) + L")";
    if (!taken(candidate)) return candidate;
  }
  return {};
}

// The name a profile imported from the file at `path` takes in the configuration
// and on the device: the name the file gave it, or (when that is empty) the
// file's name without its extension, or "Profile"; a name in use becomes its
// copy name. Empty when no free name is left.
inline std::wstring ImportedProfileName(const std::wstring& fileGaveName, const std::wstring& path,
                                        const std::function<bool(const std::wstring&)>& taken) {
  std::wstring name = fileGaveName;
  if (name.empty()) {
    const std::size_t separator = path.find_last_of(L"\\/:");
    name = separator == std::wstring::npos ? path : path.substr(separator + 1);
    const std::size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.resize(dot);
    if (name.empty()) name = L"Profile";
  }
  return taken(name) ? CopyNameFor(name, taken) : name;
}

}  // namespace device
