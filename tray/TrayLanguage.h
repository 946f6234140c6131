// The tray's language: the configurator's language list and text files, read
// from the tray's own folder, with the language chosen by the installer's
// "Language" value. Three texts of the tray are translated: the icon's tooltip
// and the menu's two fixed items.
#pragma once
#include <cstdint>
#include <string>

#include "gui/base/GUIItem.h"

namespace tray {

// The drive and folder of a module path with a trailing separator; empty when the
// path was cut at its buffer (`length` equal to the buffer) or has no folder.
std::wstring FolderOfModulePath(const wchar_t* path, uint32_t length, uint32_t bufferChars);

// The tray's id of the default language ("LANGUAGE_DEFAULT" in the tray's tables).
int32_t TrayDefaultLanguageId();

// Builds the tray's name tables, loads AppFolder "xml\Language.xml" into `list`
// and makes the language the registry names (the default when it names none)
// the current language table, when a table exists for it.
void LoadTrayLanguage(GUIItemList& list);

// The current language table's text for `key` ("$..."), else `fallback`.
std::wstring TrayText(const wchar_t* key, const wchar_t* fallback);

// Frees the language list and the globals that point into it.
void FreeTrayLanguage(GUIItemList& list);

}  // namespace tray
