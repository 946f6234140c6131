// The simulated keyboard names exactly the keys of the key files in "bin\", with
// the defaults those files give.
#include "service/SimKeyboard.h"

#include <gtest/gtest.h>

#include <map>

#include "device/KeyboardDef.h"
#include "platform/testing/TestFiles.h"

namespace {

using platform::testing::ReadFileBytes;

TEST(SimKeyboard, MatchesTheKeyFiles) {
  CKeyboardDef def;
  const auto definitions = ReadFileBytes(OVRIX_KEY_FILES_DIR "/KeyDefinitions.bin");
  const auto defaults = ReadFileBytes(OVRIX_KEY_FILES_DIR "/KeyDefaults_US.bin");
  ASSERT_TRUE(def.LoadKeyDefinitions(definitions.size(), definitions.data()));
  ASSERT_TRUE(def.LoadKeyDefaults(defaults.data(), defaults.size()));

  std::map<uint32_t, SimKey> sim;
  for (const auto& k : SimKeyboardKeys()) EXPECT_TRUE(sim.emplace(k.keyCode, k).second) << "key codes are unique";

  std::map<uint32_t, int> fromFiles;
  for (const auto& [id, d] : def.DefinitionsById()) {
    const uint32_t code = MakeDeviceKeyCode(static_cast<uint16_t>(d.scanCode), d.extended);
    fromFiles[code] = id;
    auto it = sim.find(code);
    ASSERT_NE(it, sim.end()) << "key " << id << " code 0x" << std::hex << code;
    const KeyCode dflt = def.GetKeyDefault(id);
    EXPECT_EQ(it->second.defaultScan, static_cast<uint16_t>(dflt.code)) << std::hex << code;
    EXPECT_EQ(it->second.defaultExtended, dflt.flag != 0) << std::hex << code;
  }
  EXPECT_EQ(fromFiles.size(), sim.size()) << "no key the files do not have";
  EXPECT_EQ(sim.count(0x40045), 1u) << "Pause";
  EXPECT_EQ(sim.count(0x00045), 1u) << "Num Lock";
}

}  // namespace
