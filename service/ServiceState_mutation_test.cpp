// The service's files from outside, damaged at random (seeded): the state file
// (through the core's start), profile files "qxp" and macro files "qxm" (through
// the service's import). Every mutant is read without a fault, a read past its
// end or a hang, and is either refused (an import then changes nothing) or gives
// a state within the service's bounds that loads again from its own file.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/Com.h"
#include "platform/Strings.h"
#include "platform/testing/Mutation.h"
#include "platform/testing/TestIds.h"
#include "service/InProcessService.h"
#include "service/ServiceCore.h"
#include "service/ServiceState.h"
#include "service/ServiceTestSupport.h"
#include "service/SimKeyboard.h"

namespace {

using platform::testing::GuardedBytes;
using platform::testing::MutantCount;
using platform::testing::MutationSeed;
using platform::testing::MutationTally;
using platform::testing::Mutator;

std::wstring NewTempFolder() { return platform::testing::MakeTempFolder(L"ovrix-mutation-"); }

GUID Id(uint32_t n) { return platform::testing::TestId(n, 0x4D); }

// Three profiles (keys of every stored kind, programs, flags, escaped and
// non-ASCII names), two macros and two applications that the keys refer to.
ServiceState RichState(const std::vector<SimKey>& keyboard) {
  ServiceState s = FactoryState(keyboard, Id(1));
  s.device = {0x0409, 2, 7, 1, 3};
  s.macros.push_back({Id(20), L"Combo \u00e9\u4e2d", {{1, 0x1E}, {3, 25}, {2, 0x1E}}});
  s.macros.push_back({Id(21), L"Tab\there \\ and\nnew line", {{1, 0x2A}, {2, 0x2A}}});
  s.apps.push_back({Id(30), L"C:\\Games\\game.exe"});
  s.apps.push_back({Id(31), L"C:\\Program Files\\tool \u00fc.exe"});
  for (uint32_t n = 2; n <= 3; ++n) {
    SimProfile p = NewSimProfile(Id(n), keyboard);
    p.name = n == 2 ? L"Shooter" : L"\u00c9crire";
    p.program = L"game.exe";
    p.flags = static_cast<uint16_t>(n == 2 ? 5 : 4);
    for (size_t k = 0; k < 6 && k < p.keys.size(); ++k) {
      DeviceKeyAssignment& r = p.keys[k];
      static const int32_t kTypes[] = {8, 9, 1, 3, 4, 6};
      r.type = kTypes[k];
      std::memset(r.payload, 0, sizeof(r.payload));
      const GUID ref = r.type == 8 ? Id(20 + n % 2) : r.type == 9 ? Id(30 + n % 2) : Id(1);
      if (r.type == 8 || r.type == 9 || r.type == 3) std::memcpy(r.payload, &ref, sizeof(ref));
      if (r.type == 8) r.payload[16] = 2, r.payload[17] = 5;
      if (r.type == 1 || r.type == 4 || r.type == 6) r.payload[0] = static_cast<BYTE>(k + 1);
    }
    p.leds[0].color = 0x00FF8800;
    s.profiles.push_back(std::move(p));
  }
  s.active = Id(2);
  return s;
}

// What every state the service holds must satisfy, and that it loads again.
::testing::AssertionResult WithinBounds(const ServiceState& s, const std::vector<SimKey>& keyboard) {
  if (s.profiles.size() > 1024) return ::testing::AssertionFailure() << s.profiles.size() << " profiles";
  bool activeFound = IsZeroId(s.active) && s.profiles.empty();
  for (const SimProfile& p : s.profiles) {
    if (p.name.size() > kMaxSimText || p.program.size() > kMaxProgramFileName)
      return ::testing::AssertionFailure() << "profile name or program too long";
    if (p.keys.size() != keyboard.size()) return ::testing::AssertionFailure() << "keys not fitted to the keyboard";
    for (size_t k = 0; k < p.keys.size(); ++k)
      if (p.keys[k].keyCode != keyboard[k].keyCode || !IsStorableAssignment(p.keys[k]))
        return ::testing::AssertionFailure() << "key record " << k << " out of order or not storable";
    if (p.leds.empty() || p.leds.size() > 64) return ::testing::AssertionFailure() << p.leds.size() << " leds";
    activeFound = activeFound || SameGuid(p.id, s.active);
  }
  if (!activeFound) return ::testing::AssertionFailure() << "the active profile is not one of the profiles";
  for (const SimMacro& m : s.macros) {
    if (m.name.size() > kMaxSimText || m.events.size() > kMaxMacroEvents)
      return ::testing::AssertionFailure() << "macro out of bounds";
    for (const DeviceMacroEvent& e : m.events)
      if (!IsStorableMacroEvent(e)) return ::testing::AssertionFailure() << "event type " << e.type;
  }
  for (const SimApp& a : s.apps)
    if (a.path.size() > kMaxSimText) return ::testing::AssertionFailure() << "application path too long";
  ServiceState again;
  std::wstring error;
  if (!ReadSimDocument(SimDocKind::State, WriteSimDocument(SimDocKind::State, s), again, error))
    return ::testing::AssertionFailure() << "the state does not load again: " << platform::WideToUtf8(error);
  return ::testing::AssertionSuccess();
}

class ServiceFileMutation : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(com_.Initialize(COINIT_APARTMENTTHREADED)));
    folder_ = NewTempFolder();
    keyboard_ = SimKeyboardKeys();
  }
  void TearDown() override { com_.Uninitialize(); }

  platform::ComApartment com_;
  std::wstring folder_;
  std::vector<SimKey> keyboard_;
};

TEST_F(ServiceFileMutation, StateFileMutantsStartFromTheFileOrFromTheFactoryState) {
  const std::string sample = WriteSimDocument(SimDocKind::State, RichState(keyboard_));
  MutationTally tally{"service state file", MutationSeed(0x73746174)};
  Mutator mutator(tally.seed, Mutator::Kind::Text);
  const int count = MutantCount(2000);
  const std::wstring stateFile = folder_ + L"DeviceService.state";
  for (int i = 0; i < count; ++i) {
    const std::string mutant = mutator.Mutate(sample);
    bool parsed = false;
    {
      // The parser alone, with its input against a no-access page.
      GuardedBytes bytes(mutant);
      ASSERT_TRUE(bytes.Ok());
      ServiceState scratch;
      std::wstring error;
      parsed = ReadSimDocument(SimDocKind::State, std::string_view(bytes.Chars(), bytes.Size()), scratch, error);
    }
    // The service's start on every file the parser takes, and on a sample of the
    // others (a start costs file writes; the parser's refusal is the start's).
    if (!parsed && i % 8 != 0) {
      tally.Count(false);
      continue;
    }
    WriteWholeFile(stateFile, mutant);
    CServiceCore::Options options;
    options.stateFile = stateFile;
    options.keyboard = keyboard_;
    std::shared_ptr<CServiceCore> core = CServiceCore::Create(std::move(options));
    const bool accepted = core->StartNotice().starts_with(L"state read");
    ASSERT_EQ(accepted, parsed) << "mutant " << i;
    tally.Count(accepted);
    ASSERT_TRUE(WithinBounds(core->State(), keyboard_)) << "mutant " << i;
    if (!accepted) {
      ASSERT_EQ(core->State().profiles.size(), 1u) << "mutant " << i << ": the factory state";
      ASSERT_EQ(core->State().profiles[0].name, L"Profile 1");
    }
    core.reset();
    DeleteFileW(stateFile.c_str());
  }
  tally.Print();
  EXPECT_GT(tally.refused, 0);
  EXPECT_GT(tally.accepted, 0);
}

// Imports of mutated files through the service's interfaces, on a keyboard that
// holds the rich state.
class ImportMutation : public ServiceFileMutation {
 protected:
  void SetUp() override {
    ServiceFileMutation::SetUp();
    service_ = std::make_unique<CInProcessDeviceService>();
    ASSERT_TRUE(service_->Registered());
    baseline_ = RichState(keyboard_);
    service_->Core().State() = baseline_;
    ASSERT_TRUE(SUCCEEDED(session_.Open()));
  }
  void TearDown() override {
    session_.Close();
    service_.reset();
    ServiceFileMutation::TearDown();
  }
  std::string StateText() { return WriteSimDocument(SimDocKind::State, service_->Core().State()); }

  // Imports every mutant of `sample`; `import` returns the status of the service's import.
  template <typename Import>
  void Run(const std::string& sample, MutationTally& tally, int count, size_t grows,
           std::vector<SimMacro> ServiceState::*list, Import import) {
    Mutator mutator(tally.seed, Mutator::Kind::Text);
    const std::wstring file = folder_ + L"mutant.q";
    const std::string before = StateText();
    for (int i = 0; i < count; ++i) {
      const std::string mutant = mutator.Mutate(sample);
      WriteWholeFile(file, mutant);
      const HRESULT hr = import(file);
      tally.Count(SUCCEEDED(hr));
      const ServiceState& now = service_->Core().State();
      if (FAILED(hr)) {
        ASSERT_EQ(StateText(), before) << "mutant " << i << ": a refused import changed the state";
        continue;
      }
      ASSERT_TRUE(WithinBounds(now, keyboard_)) << "mutant " << i;
      if (grows) {
        ASSERT_EQ(now.profiles.size(), baseline_.profiles.size() + 1) << "mutant " << i;
      }
      if (list) {
        ASSERT_EQ((now.*list).size(), (baseline_.*list).size() + 1) << "mutant " << i;
      }
      service_->Core().State() = baseline_;
    }
  }

  std::unique_ptr<CInProcessDeviceService> service_;
  ServiceSession session_;
  ServiceState baseline_;
};

TEST_F(ImportMutation, ProfileFileMutantsAreRefusedUnchangedOrImportOneProfile) {
  const std::wstring exported = folder_ + L"sample.qxp";
  ASSERT_EQ(service_->Core().ExportProfileFile(Id(2), exported), S_OK);
  const std::string sample = ReadWholeFile(exported);
  ASSERT_FALSE(sample.empty());
  Com<IProfileManager> profiles;
  ASSERT_EQ(session_.Feature(profiles), S_OK);
  MutationTally tally{"profile file (qxp)", MutationSeed(0x71787030)};
  Run(sample, tally, MutantCount(1200), 1, nullptr, [&](const std::wstring& path) {
    Com<IDeviceProfile> imported;
    const HRESULT hr = profiles->ImportProfile(path.c_str(), imported.Out());
    if (SUCCEEDED(hr) && !imported) return E_UNEXPECTED;
    return hr;
  });
  tally.Print();
  EXPECT_GT(tally.refused, 0);
  EXPECT_GT(tally.accepted, 0);
}

TEST_F(ImportMutation, MacroFileMutantsAreRefusedUnchangedOrImportOneMacro) {
  const std::wstring exported = folder_ + L"sample.qxm";
  ASSERT_EQ(service_->Core().ExportMacroFile(Id(20), exported), S_OK);
  const std::string sample = ReadWholeFile(exported);
  ASSERT_FALSE(sample.empty());
  Com<IMacroManager> macros;
  ASSERT_EQ(session_.Feature(macros), S_OK);
  MutationTally tally{"macro file (qxm)", MutationSeed(0x71786D30)};
  Run(sample, tally, MutantCount(1200), 0, &ServiceState::macros, [&](const std::wstring& path) {
    Com<IDeviceMacro> imported;
    const HRESULT hr = macros->ImportMacro(path.c_str(), imported.Out());
    if (SUCCEEDED(hr) && !imported) return E_UNEXPECTED;
    return hr;
  });
  tally.Print();
  EXPECT_GT(tally.refused, 0);
  EXPECT_GT(tally.accepted, 0);
}

}  // namespace
