// The key files that the build writes from the key table load with the program's
// own parsers, and every key button of the skin has a usable key behind it.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "device/KeyboardDef.h"
#include "gui/base/SkinNameTables.h"
#include "platform/Strings.h"
#include "platform/testing/TestFiles.h"

namespace {

using platform::testing::ReadFileBytes;

// Element name -> key name, from the table's first two columns.
std::map<std::wstring, std::wstring> TableKeys() {
  std::map<std::wstring, std::wstring> keys;
  std::ifstream table(OVRIX_KEY_TABLE);
  std::string line;
  while (std::getline(table, line)) {
    line = line.substr(0, line.find('#'));
    std::istringstream columns(line);
    std::string element, name;
    if (columns >> element >> name)
      keys[platform::Utf8ToWide(element)] = platform::Utf8ToWide(name);
  }
  return keys;
}

class KeyFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::vector<uint8_t> definitions = ReadFileBytes(OVRIX_KEY_FILES_DIR "/KeyDefinitions.bin");
    const std::vector<uint8_t> defaults = ReadFileBytes(OVRIX_KEY_FILES_DIR "/KeyDefaults_US.bin");
    ASSERT_FALSE(definitions.empty());
    ASSERT_TRUE(keyboard.LoadKeyDefinitions(definitions.size(), definitions.data()));
    ASSERT_TRUE(keyboard.LoadKeyDefaults(defaults.data(), defaults.size()));
    table = TableKeys();
  }
  CKeyboardDef keyboard;
  std::map<std::wstring, std::wstring> table;
};

TEST_F(KeyFiles, EveryKeyButtonHasAUsableDefinitionAndADefault) {
  std::set<std::wstring> buttons;
  for (std::size_t i = 0; i < gui::tables::kSkinElementCount; ++i) {
    const std::wstring name = gui::tables::kSkinElements[i].name;
    if (name.starts_with(L"BUTTON_KB_")) buttons.insert(name);
  }
  ASSERT_FALSE(buttons.empty());
  std::set<std::wstring> listed;
  for (const auto& [element, key] : table) listed.insert(element);
  EXPECT_EQ(listed, buttons);
  EXPECT_EQ(keyboard.Definitions().size(), table.size());

  for (const auto& [element, key] : table) {
    const int32_t id = HashKeyName(key);
    const KeyDefinition* definition = keyboard.FindDefinition(id);
    ASSERT_NE(definition, nullptr) << key;
    EXPECT_EQ(definition->name, key);
    EXPECT_GT(definition->scanCode, 0) << key;
    EXPECT_EQ(keyboard.Defaults().count(id), 1u) << key;
    // In the US layout every key's default is its own code.
    const KeyCode def = keyboard.GetKeyDefault(id);
    EXPECT_EQ(def.code, definition->scanCode) << key;
    EXPECT_EQ(def.flag, definition->extended) << key;
  }
}

TEST_F(KeyFiles, CodesAsWindowsReportsThem) {
  struct Case {
    const wchar_t* key;
    int16_t scanCode;
    uint8_t flag;
  } const cases[] = {
      {L"ESC", 0x01, 0},    {L"A", 0x1E, 0},      {L"RTCTRL", 0x1D, 1}, {L"LTCTRL", 0x1D, 0},
      {L"NUMENTR", 0x1C, 1}, {L"PRTSC", 0x37, 1}, {L"NUMSR", 0x37, 0},  {L"PAUSE", 0x45, 2},
      {L"NUMLK", 0x45, 0},  {L"NUMSH", 0x35, 1},  {L"DEL", 0x53, 1},
  };
  for (const Case& c : cases) {
    const int32_t id = HashKeyName(c.key);
    const KeyCode code = keyboard.GetKeyScanCode(id);
    EXPECT_EQ(code.code, c.scanCode) << c.key;
    EXPECT_EQ(code.flag, c.flag) << c.key;
    EXPECT_EQ(keyboard.FindKeyByScanCode(uint32_t(uint16_t(c.scanCode)) | uint32_t{c.flag} << 16), id)
        << c.key;
  }
}

}  // namespace
