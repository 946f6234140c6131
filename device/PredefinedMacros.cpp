#include "device/PredefinedMacros.h"

#include <iterator>

#include "gui/base/SkinNameTables.h"

namespace {

struct StepKey {
  uint16_t scanCode;
  uint16_t virtualKey;
  uint8_t flags;
};

// Press and release steps 2k-1 and 2k for row k.
constexpr StepKey kStepKeys[] = {
    {0x1D, 0xA2, 0},  // left Ctrl
    {0x38, 0xA4, 0},  // left Alt
    {0x5B, 0x5B, 1},  // left Windows key (extended)
    {0x0F, 0x09, 0},  // Tab
    {0x3E, 0x73, 0},  // F4
    {0x0D, 0xBB, 0},  // = (plus)
    {0x0C, 0xBD, 0},  // - (minus)
    {0x1E, 0x41, 0},  // A
    {0x2E, 0x43, 0},  // C
    {0x20, 0x44, 0},  // D
    {0x12, 0x45, 0},  // E
    {0x21, 0x46, 0},  // F
    {0x26, 0x4C, 0},  // L
    {0x31, 0x4E, 0},  // N
    {0x19, 0x50, 0},  // P
    {0x13, 0x52, 0},  // R
    {0x1F, 0x53, 0},  // S
    {0x2F, 0x56, 0},  // V
    {0x2D, 0x58, 0},  // X
    {0x2C, 0x5A, 0},  // Z
};

struct MacroSteps {
  int32_t id;
  int32_t steps[4];
};

constexpr MacroSteps kMacros[] = {
    {1, {1, 37, 38, 2}},  {2, {1, 17, 18, 2}},  {3, {1, 35, 36, 2}},  {4, {1, 39, 40, 2}},
    {5, {1, 15, 16, 2}},  {6, {1, 23, 24, 2}},  {7, {1, 27, 28, 2}},  {8, {1, 29, 30, 2}},
    {9, {1, 33, 34, 2}},  {10, {3, 7, 8, 4}},   {11, {3, 9, 10, 4}},  {12, {5, 25, 26, 6}},
    {13, {5, 21, 22, 6}}, {14, {5, 31, 32, 6}}, {15, {5, 19, 20, 6}}, {16, {1, 11, 12, 2}},
    {17, {1, 13, 14, 2}},
};

constexpr int32_t kLastOfFamilyA = 9;

void ListFamily(const std::map<int32_t, MacroEventList>& family, std::vector<std::wstring>& out) {
  out.clear();
  for (const auto& [id, events] : family) {
    if (const wchar_t* keyword = GetCommandKeyword(id)) out.emplace_back(keyword);
  }
}

}  // namespace

CPredefinedMacroList::CPredefinedMacroList() {
  int32_t stepId = 1;
  for (const StepKey& key : kStepKeys) {
    const int32_t a = static_cast<int32_t>(key.scanCode | (static_cast<uint32_t>(key.virtualKey) << 16));
    steps[stepId++] = {a, static_cast<int32_t>(kMacroStatePressed | (key.flags << 8))};
    steps[stepId++] = {a, static_cast<int32_t>(kMacroStateReleased | (key.flags << 8))};
  }
  for (const MacroSteps& macro : kMacros) {
    MacroEventList events;
    for (int32_t step : macro.steps) {
      const PredefinedKeyStep& s = steps.at(step);
      events.push_back(MacroEvent{MACROEVENT_KEY, s.a, s.b});
    }
    (macro.id <= kLastOfFamilyA ? familyA : familyB)[macro.id] = std::move(events);
  }
}

CPredefinedMacroList& PredefinedMacroList() {
  static CPredefinedMacroList list;
  return list;
}

bool FindPredefinedMacro(std::wstring_view name, const CPredefinedMacroList& list, MacroEventList& events) {
  const int32_t id = FindCommandKeywordId(name);
  const auto& family = id <= kLastOfFamilyA ? list.familyA : list.familyB;
  auto found = family.find(id);
  if (found == family.end()) return false;
  events = found->second;
  return true;
}

void ListPredefinedMacrosA(const CPredefinedMacroList& list, std::vector<std::wstring>& out) {
  ListFamily(list.familyA, out);
}

void ListPredefinedMacrosB(const CPredefinedMacroList& list, std::vector<std::wstring>& out) {
  ListFamily(list.familyB, out);
}
