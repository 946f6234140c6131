// The records the device layer reads from the service, damaged at random (seeded):
// the in-process service answers from a state whose key records, macro events,
// names, paths, program names, flags, ids and versions were flipped, cut short,
// extended and resized, with none of the checks its loader and its interfaces
// apply. Both stages of reading (start-up and the full read) run on each; they
// must not fault or hang, and either fail or leave a configuration within the
// model's bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "device/DeviceTestSupport.h"
#include "platform/testing/Mutation.h"

namespace {

using namespace devtest;
using platform::testing::MutantCount;
using platform::testing::MutationSeed;
using platform::testing::MutationTally;
using platform::testing::Mutator;

template <typename T>
std::string BytesOf(const std::vector<T>& items) {
  return std::string(reinterpret_cast<const char*>(items.data()), items.size() * sizeof(T));
}

template <typename T>
std::vector<T> ItemsOf(const std::string& bytes) {
  std::vector<T> items(bytes.size() / sizeof(T));
  if (!items.empty()) std::memcpy(items.data(), bytes.data(), items.size() * sizeof(T));
  return items;
}

std::string BytesOf(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::wstring TextOf(const std::string& bytes) {
  std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
  if (!text.empty()) std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
  return text;
}

template <typename T>
void MutateValue(Mutator& mutator, T& value) {
  std::string bytes(reinterpret_cast<const char*>(&value), sizeof(T));
  bytes = mutator.Mutate(bytes);
  bytes.resize(sizeof(T));
  std::memcpy(&value, bytes.data(), sizeof(T));
}

class DeviceRecordsMutation : public DeviceTest {
 protected:
  // Profiles with keys of many kinds, macros, applications, programs and flags,
  // as a configuration writes them.
  void Populate() {
    ReadAll();
    for (int i = 0; i < 3; ++i) {
      CMacro* macro = config_->CreateMacro(L"Macro " + std::to_wstring(i));
      macro->events = {{MACROEVENT_KEY, 0x1E | 0x41 << 16, kMacroStatePressed},
                       {MACROEVENT_DELAY, 30, 30},
                       {MACROEVENT_MOUSE, 1, kMacroStatePressed},
                       {MACROEVENT_KEY, 0x1E | 0x41 << 16, kMacroStateReleased}};
    }
    config_->CreateApp(L"C:\\Games\\game.exe");
    config_->CreateApp(L"C:\\Tools\\tool.exe");
    IKeyboardProfile* second = config_->AddNewProfile(L"Second");
    ASSERT_NE(second, nullptr);
    second->SetFileName(L"game.exe");
    second->SetAutoSwitch(1);
    second->SetShowOsd(1);
    for (int p = 0; p < config_->GetProfileCount(); ++p) {
      IKeyboardProfile* profile = config_->GetProfile(p);
      config_->SetKeyAssignment(KeyOf(kKeyA), NamedAssignment(KEYKIND_MACRO_BYNAME, L"Macro 1"), profile);
      config_->SetKeyAssignment(KeyOf(kKeyB), NamedAssignment(KEYKIND_LAUNCH_BYPATH, L"C:\\Games\\game.exe"),
                                profile);
      config_->SetKeyAssignment(KeyOf(kKeyEsc), NamedAssignment(KEYKIND_PROFILE_BYNAME, L"Second"), profile);
      config_->SetKeyAssignment(KeyOf(kKeyNumLock), SingleKey(0x2C, 0), profile);
      KeyAssignment off;
      off.kind = KEYKIND_DISABLED;
      config_->SetKeyAssignment(KeyOf(kKeyRightCtrl), off, profile);
    }
    ASSERT_TRUE(WriteAll());
  }

  // Damages one to three parts of the state the service answers from.
  void Corrupt(Mutator& mutator, ServiceState& s) {
    const int parts = 1 + static_cast<int>(mutator.Below(3));
    for (int i = 0; i < parts; ++i) {
      const uint32_t what = mutator.Below(12);
      SimProfile* profile = s.profiles.empty() ? nullptr : &s.profiles[mutator.Below(static_cast<uint32_t>(s.profiles.size()))];
      SimMacro* macro = s.macros.empty() ? nullptr : &s.macros[mutator.Below(static_cast<uint32_t>(s.macros.size()))];
      SimApp* app = s.apps.empty() ? nullptr : &s.apps[mutator.Below(static_cast<uint32_t>(s.apps.size()))];
      switch (what) {
        case 0: case 1: case 2:
          if (profile) profile->keys = ItemsOf<DeviceKeyAssignment>(mutator.Mutate(BytesOf(profile->keys)));
          break;
        case 3: case 4:
          if (macro) macro->events = ItemsOf<DeviceMacroEvent>(mutator.Mutate(BytesOf(macro->events)));
          break;
        case 5:
          if (profile) profile->name = TextOf(mutator.Mutate(BytesOf(profile->name)));
          break;
        case 6:
          if (macro) macro->name = TextOf(mutator.Mutate(BytesOf(macro->name)));
          if (app) app->path = TextOf(mutator.Mutate(BytesOf(app->path)));
          break;
        case 7:
          if (profile) profile->program = TextOf(mutator.Mutate(BytesOf(profile->program)));
          if (profile) MutateValue(mutator, profile->flags);
          break;
        case 8:
          if (profile) MutateValue(mutator, profile->id);
          if (macro && mutator.Below(2)) MutateValue(mutator, macro->id);
          if (app && mutator.Below(2)) MutateValue(mutator, app->id);
          if (mutator.Below(2)) MutateValue(mutator, s.active);
          break;
        case 9:
          MutateValue(mutator, s.device);
          break;
        case 10:
          // Far beyond every bound: a name longer than any string the layer reads,
          // more key records than any keyboard has, a very long macro.
          if (profile && mutator.Below(2)) profile->name.assign(33000 + mutator.Below(2000), L'N');
          if (profile && mutator.Below(2)) profile->keys.resize(1100 + mutator.Below(100), profile->keys.empty() ? DeviceKeyAssignment{} : profile->keys[0]);
          if (macro && mutator.Below(2)) macro->events.resize(60000 + mutator.Below(10000), DeviceMacroEvent{1, 0x1E});
          if (app && mutator.Below(2)) app->path.assign(300 + mutator.Below(40000), L'p');
          break;
        default:
          // Objects gone or repeated: ids then collide.
          if (mutator.Below(2) && !s.profiles.empty()) s.profiles.push_back(s.profiles[0]);
          else if (!s.macros.empty()) s.macros.push_back(s.macros.back());
          if (mutator.Below(3) == 0 && !s.profiles.empty()) s.profiles.erase(s.profiles.begin());
          break;
      }
    }
  }

  ::testing::AssertionResult WithinBounds(CKeyboard& keyboard, IKeyboardConfig& config, const ServiceState& s) {
    if (keyboard.KeyCount() > 1024) return ::testing::AssertionFailure() << keyboard.KeyCount() << " keys";
    if (config.GetProfileCount() > static_cast<int>(s.profiles.size()) ||
        config.GetMacroCount() > static_cast<int>(s.macros.size()) ||
        config.GetAppCount() > static_cast<int>(s.apps.size()))
      return ::testing::AssertionFailure() << "more objects than the device holds";
    for (int i = 0; i < config.GetProfileCount(); ++i) {
      IKeyboardProfile* profile = config.GetProfile(i);
      if (profile->GetName().size() > kMaxNameChars || profile->GetFileName().size() > kMaxProgramFileChars)
        return ::testing::AssertionFailure() << "profile " << i << " name or program too long";
      if (IsZeroGuid(profile->GetId())) return ::testing::AssertionFailure() << "profile " << i << " without id";
      for (uint32_t code : keyboard.KeyCodes()) {
        const int32_t keyId = CKeyboard::KeyIdFromDeviceCode(code);
        if (keyId == 0) continue;
        KeyAssignment out;
        profile->GetKeyAssignment(out, keyId);
        if (out.kind < 0 || out.kind > 1000) return ::testing::AssertionFailure() << "kind " << out.kind;
      }
    }
    std::set<std::wstring> ids;
    for (int i = 0; i < config.GetMacroCount(); ++i) {
      CMacro* macro = config.GetMacro(i);
      if (macro->GetName().size() > kMaxNameChars) return ::testing::AssertionFailure() << "macro name too long";
      if (macro->events.size() > kMaxMacroEvents) return ::testing::AssertionFailure() << "too many events";
      for (const MacroEvent& e : macro->events)
        if (e.type < MACROEVENT_KEY || e.type > MACROEVENT_DELAY)
          return ::testing::AssertionFailure() << "event type " << e.type;
      if (IsZeroGuid(macro->id) || !ids.insert(GuidText(macro->id)).second)
        return ::testing::AssertionFailure() << "macro " << i << " without an id of its own";
    }
    for (int i = 0; i < config.GetAppCount(); ++i) {
      CQxApp* app = config.GetApp(i);
      if (app->path.size() > kMaxPathChars) return ::testing::AssertionFailure() << "application path too long";
      if (IsZeroGuid(app->id) || !ids.insert(GuidText(app->id)).second)
        return ::testing::AssertionFailure() << "application " << i << " without an id of its own";
    }
    return ::testing::AssertionSuccess();
  }
};

TEST_F(DeviceRecordsMutation, ReadsOfCorruptedAnswersFailOrStayWithinTheModel) {
  Populate();
  const ServiceState sample = State();
  ASSERT_GE(sample.profiles.size(), 2u);
  ASSERT_GE(sample.macros.size(), 3u);

  MutationTally tally{"records read from the service", MutationSeed(0x72656364)};
  Mutator mutator(tally.seed, Mutator::Kind::Binary, {4, 8, 36, 40});  // key code and type of the first records
  const int count = MutantCount(1500);
  for (int i = 0; i < count; ++i) {
    ServiceState& s = State();
    s = sample;
    Corrupt(mutator, s);
    CKeyboard keyboard;
    keyboard.SetDeviceManagerFactory(ServiceSeam());
    CMorvelConfig config(L".\\");
    const bool accepted = keyboard.ReadFromDevice(&config) &&
                          keyboard.TransferConfig(&config, TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL);
    tally.Count(accepted);
    ASSERT_TRUE(WithinBounds(keyboard, config, s)) << "mutant " << i;
  }
  tally.Print();
  EXPECT_GT(tally.refused, 0);
  EXPECT_GT(tally.accepted, 0);
}

}  // namespace
