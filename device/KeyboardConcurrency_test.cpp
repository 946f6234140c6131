// The background write beside the window thread: refusals while it runs, its
// linger, the window thread's changes during it, and destruction while it runs.
#include <gtest/gtest.h>

#include "device/DeviceTestSupport.h"

using namespace devtest;

namespace {

class KeyboardConcurrency : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    AddDeviceProfile(L"Second");
    AddDeviceMacro(L"Read macro", {{3, 20}});
    ReadAll();
    core_->ClearCallLog();
  }
  bool StartWrite() { return keyboard_->TransferConfig(config_.get(), TRANSFER_TO_DEVICE, TRANSFER_WRITE_ALL); }
};

TEST_F(KeyboardConcurrency, ASecondApplyIsRefusedAndTheWriteLingersHalfASecond) {
  ASSERT_TRUE(StartWrite());
  EXPECT_TRUE(keyboard_->IsWriting());
  EXPECT_FALSE(StartWrite()) << "one write at a time";
  // The job's last service call is the activation; the write still counts as running
  // for at least 500 ms after it.
  ASSERT_TRUE(PumpUntil([&] { return LastCall(L"SetActiveProfile") >= 0; }));
  const ULONGLONG jobEnded = GetTickCount64();
  EXPECT_TRUE(keyboard_->IsWriting());
  ASSERT_TRUE(PumpUntil([&] { return !keyboard_->IsWriting(); }));
  EXPECT_GE(GetTickCount64() - jobEnded, 480u);
  EXPECT_TRUE(keyboard_->LastWriteSucceeded());
  EXPECT_TRUE(StartWrite()) << "and once it has ended, the next one starts";
  ASSERT_TRUE(PumpUntil([&] { return !keyboard_->IsWriting(); }));
}

TEST_F(KeyboardConcurrency, EveryOperationFailsWhileAWriteHoldsTheConnection) {
  CMacro* macro = config_->GetMacro(0);
  IKeyboardProfile* profile = config_->GetProfile(0);
  const std::wstring file = L".\\concurrency-export.qxm";
  DWORD value = 0;
  ASSERT_TRUE(StartWrite());
  // The write has not been served yet: it holds its connection.
  EXPECT_FALSE(keyboard_->ReadFromDevice(config_.get()));
  EXPECT_FALSE(keyboard_->TransferConfig(config_.get(), TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL));
  EXPECT_FALSE(keyboard_->ImportMacroFile(file, config_.get()));
  EXPECT_FALSE(keyboard_->ExportMacroFile(file, macro));
  EXPECT_FALSE(keyboard_->MacroExists(macro));
  EXPECT_FALSE(keyboard_->ImportProfileFile(file, config_.get()));
  EXPECT_FALSE(keyboard_->ExportProfileFile(file, profile));
  EXPECT_FALSE(keyboard_->ProfileExists(profile));
  EXPECT_FALSE(keyboard_->SuspendRemapping());
  EXPECT_FALSE(keyboard_->ResumeRemapping());
  EXPECT_FALSE(keyboard_->ReadValue(&value));
  EXPECT_EQ(keyboard_->GetProfileCount(), 0);
  EXPECT_EQ(keyboard_->GetMacroCount(), 0);
  // None of that took the write's connection away: it completes.
  ASSERT_TRUE(PumpUntil([&] { return !keyboard_->IsWriting(); }));
  EXPECT_TRUE(keyboard_->LastWriteSucceeded());
  EXPECT_TRUE(keyboard_->MacroExists(macro));
  EXPECT_EQ(keyboard_->GetProfileCount(), 2);

  // Releasing everything during a write leaves the write's connection to the write,
  // which gives it back when it ends.
  ASSERT_TRUE(StartWrite());
  keyboard_->ReleaseAll();
  EXPECT_FALSE(keyboard_->IsPresent());
  ASSERT_TRUE(PumpUntil([&] { return !keyboard_->IsWriting(); }));
  EXPECT_EQ(keyboard_->GetProfileCount(), 2);
  EXPECT_TRUE(keyboard_->IsPresent());
}

TEST_F(KeyboardConcurrency, TheWindowThreadsChangesDuringAWriteAreIntact) {
  IKeyboardProfile* first = config_->GetProfile(0);
  CMacro* pending = config_->CreateMacro(L"Pending");
  IKeyboardProfile* fresh = config_->AddNewProfile(L"Fresh");
  // Named while the write starts, changed by the user before it ends: the user's
  // change wins over the resolved record the write brings back.
  config_->SetKeyAssignment(KeyOf(kKeyA), NamedAssignment(KEYKIND_MACRO_BYNAME, L"Pending"), first);
  config_->SetKeyAssignment(KeyOf(kKeyB), NamedAssignment(KEYKIND_MACRO_BYNAME, L"Pending"), first);
  ASSERT_TRUE(StartWrite());

  int round = 0;
  std::vector<std::wstring> createdNames;
  IKeyboardProfile* doomed = config_->AddNewProfile(L"Doomed");
  while (keyboard_->IsWriting() && round < 100000) {
    ++round;
    const KeyAssignment single = SingleKey(static_cast<int16_t>(0x10 + round % 32), 0);
    config_->SetKeyAssignment(KeyOf(kKeyB), single, first);
    config_->SetKeyAssignment(KeyOf(kKeyEsc), single, fresh);
    const std::wstring name = L"During " + std::to_wstring(round);
    if (config_->CreateMacro(name) != nullptr) createdNames.push_back(name);
    if (round % 3 == 0 && config_->GetMacroCount() > 3) {
      CMacro* last = config_->GetMacro(config_->GetMacroCount() - 1);
      for (auto it = createdNames.begin(); it != createdNames.end(); ++it)
        if (*it == last->GetName()) {
          createdNames.erase(it);
          break;
        }
      config_->DeleteMacro(last);
    }
    if (round == 5 && doomed != nullptr) {
      config_->DeleteProfile(doomed);
      doomed = nullptr;
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  ASSERT_FALSE(keyboard_->IsWriting());
  ASSERT_GT(round, 10) << "the write must have overlapped the changes";
  EXPECT_TRUE(keyboard_->LastWriteSucceeded());

  KeyAssignment record;
  config_->GetKeyAssignment(record, KeyOf(kKeyB), first);
  EXPECT_EQ(record.kind, KEYKIND_SINGLEKEY);
  EXPECT_EQ(record.payload.key.scanCode, 0x10 + round % 32);
  config_->GetKeyAssignment(record, KeyOf(kKeyEsc), fresh);
  EXPECT_EQ(record.kind, KEYKIND_SINGLEKEY);
  config_->GetKeyAssignment(record, KeyOf(kKeyA), first);
  EXPECT_EQ(record.kind, KEYKIND_MACRO) << "unchanged meanwhile: the resolved form comes back";
  EXPECT_FALSE(IsZeroGuid(pending->id));
  EXPECT_TRUE(IsEqualGUID(record.payload.id, pending->id));
  EXPECT_FALSE(IsZeroGuid(fresh->GetId()));
  EXPECT_EQ(config_->FindProfileByName(L"Doomed"), nullptr);
  for (const std::wstring& name : createdNames) {
    CMacro* macro = config_->FindMacroByName(name);
    ASSERT_NE(macro, nullptr) << std::string(name.begin(), name.end());
    EXPECT_TRUE(IsZeroGuid(macro->id)) << "created after the copy was taken";
  }
  // The device got the configuration as it stood when Apply was pressed.
  for (const SimMacro& macro : State().macros) EXPECT_EQ(macro.name.rfind(L"During", 0), std::wstring::npos);

  // The next write takes the rest.
  ASSERT_TRUE(WriteAll());
  EXPECT_EQ(State().macros.size(), static_cast<std::size_t>(config_->GetMacroCount()));
  EXPECT_EQ(State().profiles.size(), static_cast<std::size_t>(config_->GetProfileCount()));
}

TEST_F(KeyboardConcurrency, DestructionDuringASlowWriteWaitsAndStopsIt) {
  // About 11 s of key writes: longer than the destructor's wait.
  core_->SetFault(L"IKeyAssignments::SetAssignments", S_OK, 50);
  ASSERT_TRUE(StartWrite());
  ASSERT_TRUE(PumpUntil([&] { return FirstCall(L"SetAssignments") >= 0; }));
  const ULONGLONG start = GetTickCount64();
  keyboard_.reset();
  const ULONGLONG waited = GetTickCount64() - start;
  EXPECT_GE(waited, 7400u);
  EXPECT_LT(waited, 9500u);
  const std::size_t written = Calls(L"SetAssignments").size();
  EXPECT_GT(written, 7000u / 50u - 10) << "the write went on while the destructor waited";
  EXPECT_LT(written, 2 * core_->Keyboard().size()) << "and was stopped between two service calls";
  EXPECT_EQ(FirstCall(L"SetActiveProfile"), -1);
  // The service is left usable.
  core_->ClearFaults();
  keyboard_ = NewKeyboard();
  EXPECT_TRUE(keyboard_->ReadFromDevice(config_.get()));
}

}  // namespace
