// The key-definition and key-defaults files the build writes, damaged at random
// (seeded): every mutant is read without a fault or a read past its end, and is
// either refused or read into definitions that fit the file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/KeyboardDef.h"
#include "platform/testing/Mutation.h"
#include "platform/testing/TestFiles.h"

namespace {

using platform::testing::GuardedBytes;
using platform::testing::MutantCount;
using platform::testing::MutationSeed;
using platform::testing::MutationTally;
using platform::testing::Mutator;

std::string ReadSample(const char* hostPath) { return platform::testing::ReadWholeFile(DosPath(hostPath)); }

uint32_t U32(const std::string& s, size_t pos) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(s[pos + i]);
  return v;
}

constexpr size_t kRecordBytesBesideName = 4 + 4 + 160;

TEST(KeyFilesMutation, DefinitionFileMutantsAreRefusedOrFitTheFile) {
  const std::string sample = ReadSample(OVRIX_KEY_FILES_DIR "/KeyDefinitions.bin");
  ASSERT_GE(sample.size(), 4u);
  // The record count and every record's name length.
  std::vector<size_t> lengths{0};
  for (size_t pos = 4; pos + 4 <= sample.size(); pos += kRecordBytesBesideName + U32(sample, pos))
    lengths.push_back(pos);
  {
    CKeyboardDef good;
    ASSERT_TRUE(good.LoadKeyDefinitions(sample.size(), reinterpret_cast<const uint8_t*>(sample.data())));
  }

  MutationTally tally{"key-definition file", MutationSeed(0x6B657931)};
  Mutator mutator(tally.seed, Mutator::Kind::Binary, lengths);
  const int count = MutantCount(3000);
  for (int i = 0; i < count; ++i) {
    const std::string mutant = mutator.Mutate(sample);
    GuardedBytes bytes(mutant);
    ASSERT_TRUE(bytes.Ok());
    CKeyboardDef def;
    const bool accepted = def.LoadKeyDefinitions(bytes.Size(), bytes.Data());
    tally.Count(accepted);
    // Every record read lay wholly inside the file, so there are never more than fit.
    const size_t records = def.Definitions().size();
    ASSERT_LE(records * kRecordBytesBesideName, mutant.size()) << "mutant " << i;
    if (mutant.size() >= 4) {
      ASSERT_LE(records, U32(mutant, 0)) << "mutant " << i;
      if (accepted) {
        ASSERT_EQ(records, U32(mutant, 0)) << "mutant " << i;
      }
    }
    for (const KeyDefinition& d : def.Definitions()) {
      ASSERT_LE(d.name.size(), 255u) << "mutant " << i;
      ASSERT_EQ(d.id, HashKeyName(d.name));
    }
    for (const auto& [id, d] : def.DefinitionsById()) {
      ASSERT_EQ(id, d.id);
      ASSERT_TRUE(IsUsableKeyName(d));
    }
  }
  tally.Print();
  EXPECT_GT(tally.refused, 0);
}

TEST(KeyFilesMutation, DefaultsFileMutantsAreRefusedWholeOrReadWhole) {
  const std::string sample = ReadSample(OVRIX_KEY_FILES_DIR "/KeyDefaults_US.bin");
  ASSERT_GE(sample.size(), 4u);
  MutationTally tally{"key-defaults file", MutationSeed(0x6B657932)};
  Mutator mutator(tally.seed, Mutator::Kind::Binary, {0});
  const int count = MutantCount(3000);
  for (int i = 0; i < count; ++i) {
    const std::string mutant = mutator.Mutate(sample);
    GuardedBytes bytes(mutant);
    ASSERT_TRUE(bytes.Ok());
    CKeyboardDef def;
    const bool accepted = def.LoadKeyDefaults(bytes.Data(), bytes.Size());
    tally.Count(accepted);
    if (!accepted) {
      ASSERT_TRUE(def.Defaults().empty()) << "mutant " << i;  // refused without reading any pair
      continue;
    }
    ASSERT_EQ((mutant.size() - 4) / 8, U32(mutant, 0)) << "mutant " << i;
    ASSERT_LE(def.Defaults().size(), U32(mutant, 0)) << "mutant " << i;
  }
  tally.Print();
  EXPECT_GT(tally.refused, 0);
  EXPECT_GT(tally.accepted, 0);
}

}  // namespace
