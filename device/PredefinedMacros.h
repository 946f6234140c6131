// The ready-made macros (cut, copy, paste, switch window, lock the computer ...)
// that the macro page inserts into a macro: each is a modifier pressed, a key
// pressed, the key released and the modifier released. One list for the whole
// program, built in code.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "device/Macro.h"

// One press or release of the step table: a key MacroEvent's a and b.
struct PredefinedKeyStep {
  int32_t a = 0;
  int32_t b = 0;
};

class CPredefinedMacroList {
 public:
  CPredefinedMacroList();

  std::map<int32_t, MacroEventList> familyA;      // macro ids 1..9
  std::map<int32_t, MacroEventList> familyB;      // macro ids 10..17
  std::map<int32_t, PredefinedKeyStep> steps;     // step ids 1..40
};

// The program's list.
CPredefinedMacroList& PredefinedMacroList();

// The macro whose command keyword is `name` (letter case ignored) replaces
// `events`. False, with `events` unchanged, when the name is no predefined macro.
bool FindPredefinedMacro(std::wstring_view name, const CPredefinedMacroList& list, MacroEventList& events);

// The keywords of family A ("$cut" ... "$save") or B ("$swapwindows" ...
// "$zoomout") in ascending macro id; the array is emptied first.
void ListPredefinedMacrosA(const CPredefinedMacroList& list, std::vector<std::wstring>& out);
void ListPredefinedMacrosB(const CPredefinedMacroList& list, std::vector<std::wstring>& out);
