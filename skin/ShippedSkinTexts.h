// For the tests of the shipped skin (the staged installation folder): its
// languages, built by the program's own loader, and the check that every text a
// control of a loaded skin file draws fits the rectangle it is drawn in.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "gui/base/GUIItem.h"

class CLangTable;

namespace skincheck {

// The staged installation folder, with a trailing backslash; also made the
// folder the skin loader and the resource cache read from.
const std::wstring& AppDir();

struct ShippedLanguage {
  std::wstring name;  // the text file's name without ".txt": "English", "German", "French"
  int32_t id = -1;
  CLangTable* table = nullptr;
};
// Every LANG of Language.xml, built once by the loader (the tables live as long
// as the program).
const std::vector<ShippedLanguage>& ShippedLanguages();

// The skin files the configurator's windows load (GUIPANEL and ITEMLIST roots,
// the language and layout lists left out).
std::vector<std::wstring> WindowFiles();

// The element name of every named element of the files, by skin id.
std::map<int32_t, std::string> ElementNames(const std::vector<std::wstring>& files);

// One line per text an item of the list draws that does not fit its rectangle
// (file, element, language, the text and both sizes); empty when all fit.
// Buttons' captions, text items' texts and menus' (list panels') entries are
// measured in the font the item draws with and laid out as the item lays them
// out; a menu is also to be as tall as its rows, without a scroll bar.
std::vector<std::string> TextsThatDoNotFit(const GUIItemList& items, const std::string& where,
                                           const std::string& language, const std::map<int32_t, std::string>& names);

}  // namespace skincheck
