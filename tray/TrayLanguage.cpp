#include "tray/TrayLanguage.h"

#include "gui/base/LangTable.h"
#include "gui/skin/SkinLoader.h"
#include "gui/base/SkinNameTables.h"
#include "tray/PcManager.h"

namespace tray {

std::wstring FolderOfModulePath(const wchar_t* path, uint32_t length, uint32_t bufferChars) {
  // A path that filled its buffer may have been cut: no folder then (built-in texts).
  if (path == nullptr || length == 0 || length >= bufferChars) return {};
  std::wstring folder(path, length);
  const size_t slash = folder.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {};
  folder.resize(slash + 1);
  return folder;
}

int32_t TrayDefaultLanguageId() { return FindSkinElementId(L"LANGUAGE_DEFAULT"); }

void LoadTrayLanguage(GUIItemList& list) {
  BuildNameTables(NameTableSet::Tray);
  LoadSkinFile(list, L"Language.xml", nullptr);
  std::wstring name;
  const int32_t id = PcManager.ReadLanguageName(name) ? FindLanguageId(name) : TrayDefaultLanguageId();
  const auto found = LanguageTables.find(id);
  if (found != LanguageTables.end()) CurrentLangTable = found->second;
}

std::wstring TrayText(const wchar_t* key, const wchar_t* fallback) {
  std::wstring text;
  if (CurrentLangTable && CLangTable::Translate(CurrentLangTable, key, text)) return text;
  return fallback;
}

void FreeTrayLanguage(GUIItemList& list) {
  // The language map and the table in force point into the list.
  CurrentLangTable = nullptr;
  LanguageTables.clear();
  FreeItemList(list);
}

}  // namespace tray
