#include "device/KeyboardDef.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void PutU32(Bytes& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}
void PutI16(Bytes& out, int16_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((static_cast<uint16_t>(value) >> 8) & 0xFF));
}

// One definition record; `block0` is the key's sequence.
Bytes Record(const std::wstring& name, std::initializer_list<KeyCode> block0, int16_t value1 = 7,
             int16_t value2 = 9) {
  Bytes out;
  PutU32(out, static_cast<uint32_t>(name.size() * 2));
  for (wchar_t unit : name) PutI16(out, static_cast<int16_t>(unit));
  PutI16(out, value1);
  PutI16(out, value2);
  for (int block = 0; block < kKeyCodeBlocks; ++block) {
    auto entry = block0.begin();
    for (int i = 0; i < kKeyCodesPerBlock; ++i) {
      KeyCode code{};
      if (block == 0 && entry != block0.end()) code = *entry++;
      PutI16(out, code.code);
      out.push_back(code.flag);
      out.push_back(0);
    }
  }
  return out;
}

Bytes DefinitionFile(uint32_t count, const std::vector<Bytes>& records) {
  Bytes out;
  PutU32(out, count);
  for (const Bytes& record : records) out.insert(out.end(), record.begin(), record.end());
  return out;
}

TEST(HashKeyName, MatchesTheKeyIdsOfTheSkin) {
  struct Case {
    const wchar_t* name;
    int32_t id;
  } const cases[] = {
      {L"", 5381},
      {L"A", 177638},
      {L"ESC", 193454944},
      {L"RTCTRL", -851689408},  // wraps into the negative ids
      {L"BRAZIL_NUM_DECIMAL", -1299718106},
  };
  for (const Case& c : cases) EXPECT_EQ(HashKeyName(c.name), c.id) << c.name;
}

TEST(ScanCodeFromSequence, PrefixedAndPlainSequences) {
  struct Case {
    std::vector<KeyCode> block;
    KeyCode expected;
  } const cases[] = {
      {{{0x1E, 0}}, {0x1E, 0}},
      {{{0xE0, 1}, {0x1D, 0}}, {0x1D, 1}},
      {{{0xE1, 2}, {0x1D, 0}, {0x45, 0}}, {0x45, 2}},
      {{{0xE0, 1}}, {0xE0, 1}},                        // a prefix alone stands for itself
      {{{0xE0, 1}, {0x2A, 0}, {0xE0, 1}, {0x37, 0}}, {0x2A, 1}},  // the walk stops at a flag
      {{{0x1E, 0}, {0x1F, 0}}, {0x1E, 0}},             // no prefix: the first code only
  };
  for (const Case& c : cases) {
    KeyCode block[kKeyCodesPerBlock] = {};
    for (std::size_t i = 0; i < c.block.size(); ++i) block[i] = c.block[i];
    const KeyCode result = ScanCodeFromSequence(block);
    EXPECT_EQ(result.code, c.expected.code);
    EXPECT_EQ(result.flag, c.expected.flag);
  }
}

TEST(ScanCodeFromSequence, AFullBlockEndsAtItsLastEntry) {
  KeyCode block[kKeyCodesPerBlock];
  block[0] = {0xE0, 1};
  for (int i = 1; i < kKeyCodesPerBlock; ++i) block[i] = {static_cast<int16_t>(0x10 + i), 0};
  EXPECT_EQ(ScanCodeFromSequence(block).code, 0x10 + kKeyCodesPerBlock - 1);
}

TEST(LoadKeyDefinitions, CountAgainstRecordsPresent) {
  const std::vector<Bytes> records = {Record(L"A", {{0x1E, 0}}), Record(L"B", {{0x30, 0}}),
                                      Record(L"RCTRL", {{0xE0, 1}, {0x1D, 0}})};
  struct Case {
    uint32_t count;
    bool result;
    std::size_t read;
  } const cases[] = {{3, true, 3}, {5, false, 3}, {2, false, 2}, {0, false, 0}};
  for (const Case& c : cases) {
    CKeyboardDef keyboard;
    const Bytes file = DefinitionFile(c.count, records);
    EXPECT_EQ(keyboard.LoadKeyDefinitions(file.size(), file.data()), c.result) << c.count;
    EXPECT_EQ(keyboard.Definitions().size(), c.read) << c.count;
  }
}

TEST(LoadKeyDefinitions, ReadsEveryField) {
  CKeyboardDef keyboard;
  const Bytes file = DefinitionFile(1, {Record(L"RCTRL", {{0xE0, 1}, {0x1D, 0}}, -3, 0x55)});
  ASSERT_TRUE(keyboard.LoadKeyDefinitions(file.size(), file.data()));
  const KeyDefinition* definition = keyboard.FindDefinition(HashKeyName(L"RCTRL"));
  ASSERT_NE(definition, nullptr);
  EXPECT_EQ(definition->name, L"RCTRL");
  EXPECT_EQ(definition->value1, -3);
  EXPECT_EQ(definition->value2, 0x55);
  EXPECT_EQ(definition->sequences[0][0].code, 0xE0);
  EXPECT_EQ(definition->sequences[0][1].code, 0x1D);
  EXPECT_EQ(definition->scanCode, 0x1D);
  EXPECT_EQ(definition->extended, 1);
}

TEST(LoadKeyDefinitions, MalformedDataNeverReadsPastTheEnd) {
  const Bytes good = Record(L"A", {{0x1E, 0}});
  Bytes hugeName;  // 4 + L wraps a 32-bit position
  PutU32(hugeName, 1);
  PutU32(hugeName, 0xFFFFFFFE);
  hugeName.resize(hugeName.size() + 200, 0);
  Bytes oddName = DefinitionFile(1, {good});
  oddName[4] = 3;  // the name length of the record
  Bytes truncated = DefinitionFile(2, {good, Record(L"B", {{0x30, 0}})});
  truncated.resize(truncated.size() - 1);

  struct Case {
    const char* what;
    Bytes data;
    std::size_t read;
  } const cases[] = {
      {"one byte", {1}, 0},
      {"three bytes", {1, 0, 0}, 0},
      {"count only", {1, 0, 0, 0}, 0},
      {"a length field cut short", {1, 0, 0, 0, 2, 0}, 0},
      {"a name length that wraps", hugeName, 0},
      {"an odd name length", oddName, 0},
      {"a truncated last record", truncated, 1},
  };
  for (const Case& c : cases) {
    CKeyboardDef keyboard;
    // A buffer of exactly the data's size, as the resource cache hands it over.
    auto* data = new uint8_t[c.data.size()];
    std::copy(c.data.begin(), c.data.end(), data);
    EXPECT_FALSE(keyboard.LoadKeyDefinitions(c.data.size(), data)) << c.what;
    EXPECT_EQ(keyboard.Definitions().size(), c.read) << c.what;
    delete[] data;
  }
}

TEST(LoadKeyDefinitions, NoDataAndSecondLoads) {
  CKeyboardDef keyboard;
  const Bytes file = DefinitionFile(1, {Record(L"A", {{0x1E, 0}})});
  EXPECT_FALSE(keyboard.LoadKeyDefinitions(0, file.data()));
  EXPECT_FALSE(keyboard.LoadKeyDefinitions(file.size(), nullptr));
  EXPECT_FALSE(keyboard.IsLoaded());
  ASSERT_TRUE(keyboard.LoadKeyDefinitions(file.size(), file.data()));
  const Bytes other = DefinitionFile(1, {Record(L"B", {{0x30, 0}})});
  EXPECT_TRUE(keyboard.LoadKeyDefinitions(other.size(), other.data()));
  EXPECT_EQ(keyboard.Definitions().size(), 1u);  // the second file was not read
  EXPECT_EQ(keyboard.FindDefinition(HashKeyName(L"B")), nullptr);
}

TEST(LoadKeyDefinitions, LongNamesAreCutTo255) {
  CKeyboardDef keyboard;
  const Bytes file = DefinitionFile(1, {Record(std::wstring(300, L'k'), {{0x1E, 0}})});
  ASSERT_TRUE(keyboard.LoadKeyDefinitions(file.size(), file.data()));
  const std::wstring cut(255, L'k');
  EXPECT_EQ(keyboard.Definitions()[0].name, cut);
  EXPECT_NE(keyboard.FindDefinition(HashKeyName(cut)), nullptr);
}

TEST(LoadKeyDefinitions, PlaceholdersStayOutOfTheIdMap) {
  CKeyboardDef keyboard;
  const Bytes file = DefinitionFile(
      5, {Record(L"reserved", {{0x1E, 0}}), Record(L"do not use", {{0x1F, 0}}),
          Record(L"NONE", {{0x20, 0}}), Record(L"NEG", {{-1, 0}}), Record(L"OK", {{0x21, 0}})});
  ASSERT_TRUE(keyboard.LoadKeyDefinitions(file.size(), file.data()));
  EXPECT_EQ(keyboard.Definitions().size(), 5u);
  EXPECT_EQ(keyboard.DefinitionsById().size(), 1u);
  EXPECT_EQ(keyboard.FindDefinition(HashKeyName(L"reserved")), nullptr);
  EXPECT_NE(keyboard.FindDefinition(HashKeyName(L"OK")), nullptr);
}

TEST(FindKeyByScanCode, SmallestIdWinsATieAndTheFlagCounts) {
  CKeyboardDef keyboard;
  // "ESC" and "A" send the same code; "A" has the smaller id.
  ASSERT_LT(HashKeyName(L"A"), HashKeyName(L"ESC"));
  const Bytes file = DefinitionFile(3, {Record(L"ESC", {{0x1D, 0}}), Record(L"A", {{0x1D, 0}}),
                                        Record(L"RTCTRL", {{0xE0, 1}, {0x1D, 0}})});
  ASSERT_TRUE(keyboard.LoadKeyDefinitions(file.size(), file.data()));
  EXPECT_EQ(keyboard.FindKeyByScanCode(0x1D), HashKeyName(L"A"));
  EXPECT_EQ(keyboard.FindKeyByScanCode(0x1001D), HashKeyName(L"RTCTRL"));
  EXPECT_EQ(keyboard.FindKeyByScanCode(0x2001D), 0);
  EXPECT_EQ(keyboard.FindKeyByScanCode(0x1E), 0);

  const KeyCode rtctrl = keyboard.GetKeyScanCode(HashKeyName(L"RTCTRL"));
  EXPECT_EQ(rtctrl.code, 0x1D);
  EXPECT_EQ(rtctrl.flag, 1);
  const KeyCode unknown = keyboard.GetKeyScanCode(12345);
  EXPECT_EQ(unknown.code, 0);
  EXPECT_EQ(unknown.flag, 0);
}

Bytes DefaultsFile(uint32_t count, std::initializer_list<std::pair<int32_t, uint32_t>> pairs) {
  Bytes out;
  PutU32(out, count);
  for (const auto& [id, value] : pairs) {
    PutU32(out, static_cast<uint32_t>(id));
    PutU32(out, value);
  }
  return out;
}

TEST(LoadKeyDefaults, SizeMustHoldExactlyTheCountedPairs) {
  const Bytes two = DefaultsFile(2, {{10, 0x1E}, {-20, 0x1001D}});
  Bytes twoPlusByte = two;
  twoPlusByte.push_back(0x77);
  const Bytes countTwoOnePair = DefaultsFile(2, {{10, 0x1E}});
  const Bytes countOneTwoPairs = DefaultsFile(1, {{10, 0x1E}, {11, 0x1F}});
  struct Case {
    const char* what;
    Bytes data;
    bool result;
    std::size_t stored;
  } const cases[] = {
      {"exact", two, true, 2},
      {"seven trailing bytes at most", twoPlusByte, true, 2},
      {"one pair more than counted", countOneTwoPairs, false, 0},
      {"shorter than its count", countTwoOnePair, false, 0},
      {"three bytes", {2, 0, 0}, false, 0},
      {"empty", {}, false, 0},
      {"no pairs", {0, 0, 0, 0}, true, 0},
  };
  for (const Case& c : cases) {
    CKeyboardDef keyboard;
    auto* data = new uint8_t[c.data.size() + 1];
    std::copy(c.data.begin(), c.data.end(), data);
    EXPECT_EQ(keyboard.LoadKeyDefaults(data, c.data.size()), c.result) << c.what;
    EXPECT_EQ(keyboard.Defaults().size(), c.stored) << c.what;
    delete[] data;
  }
}

TEST(LoadKeyDefaults, ValuesSplitIntoCodeAndFlagAndLaterPairsWin) {
  CKeyboardDef keyboard;
  const Bytes file = DefaultsFile(3, {{10, 0x1E}, {-20, 0x1001D}, {10, 0x30}});
  ASSERT_TRUE(keyboard.LoadKeyDefaults(file.data(), file.size()));
  EXPECT_EQ(keyboard.GetKeyDefault(10).code, 0x30);
  EXPECT_EQ(keyboard.GetKeyDefault(-20).code, 0x1D);
  EXPECT_EQ(keyboard.GetKeyDefault(-20).flag, 1);
  EXPECT_EQ(keyboard.GetKeyDefault(99).code, 0);
  EXPECT_EQ(keyboard.GetKeyDefault(99).flag, 0);
}

}  // namespace
