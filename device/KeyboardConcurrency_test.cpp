// The background write beside the window thread: refusals while it runs, its
// linger, the window thread's changes during it, and destruction while it runs.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

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
    // Every key of every profile and the active choice to write, as after a restore
    // of every profile: a write long enough to overlap the window thread.
    for (int i = 0; i < config_->GetProfileCount(); ++i)
      dynamic_cast<CBaseProfile*>(config_->GetProfile(i))->MarkEverything();
    config_->SetActiveProfile(config_->GetActiveProfile());
    Core().ClearCallLog();
  }
  bool StartWrite() { return keyboard_->TransferConfig(config_.get(), TRANSFER_TO_DEVICE, TRANSFER_WRITE_ALL); }
};

TEST_F(KeyboardConcurrency, ASecondApplyIsRefusedAndTheWriteLingersAfterItsJob) {
  waits_->holdLinger = true;
  ASSERT_TRUE(StartWrite());
  EXPECT_TRUE(keyboard_->IsWriting());
  EXPECT_FALSE(StartWrite()) << "one write at a time";
  // The job has ended (its last call is the activation) and the write lingers for
  // half a second, during which it still counts as running.
  ASSERT_TRUE(PumpUntil([&] { return waits_->lingering.load(); }));
  EXPECT_GE(LastCall(L"SetActiveProfile"), 0);
  EXPECT_EQ(waits_->lingerMs.load(), 500u);
  for (int round = 0; round < 20; ++round) {
    PumpUntil([] { return true; });
    ASSERT_TRUE(keyboard_->IsWriting());
  }
  EXPECT_FALSE(StartWrite());
  waits_->ReleaseLinger();
  ASSERT_TRUE(PumpUntil([&] { return !keyboard_->IsWriting(); }));
  EXPECT_TRUE(keyboard_->LastWriteSucceeded());
  waits_->holdLinger = false;
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
    platform::testing::PumpPending();
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

TEST_F(KeyboardConcurrency, DestructionWaitsItsTimeThenStopsTheWriteBetweenTwoCalls) {
  // The destructor's wait of 7500 ms runs out once 20 keys are written.
  std::size_t atTimeout = 0;
  waits_->giveUpWhen = [&] {
    atTimeout = Calls(L"SetAssignments").size();
    return atTimeout >= 20;
  };
  ASSERT_TRUE(StartWrite());
  keyboard_.reset();
  EXPECT_EQ(waits_->threadWaitMs, 7500u);
  const std::size_t written = Calls(L"SetAssignments").size();
  EXPECT_GE(written, 20u) << "the write went on while the destructor waited";
  EXPECT_LE(written, atTimeout + 1) << "and was stopped between two service calls";
  EXPECT_LT(written, 2 * Core().Keyboard().size());
  EXPECT_EQ(FirstCall(L"SetActiveProfile"), -1);
  // The service is left usable.
  keyboard_ = NewKeyboard();
  EXPECT_TRUE(keyboard_->ReadFromDevice(config_.get()));
}

TEST_F(KeyboardConcurrency, DestructionWithinItsWaitLetsTheWriteFinish) {
  ASSERT_TRUE(StartWrite());
  keyboard_.reset();
  EXPECT_GE(LastCall(L"SetActiveProfile"), 0);
  EXPECT_EQ(Calls(L"SetAssignments").size(), 2 * Core().Keyboard().size());
}

// A window of this thread whose handler asks the keyboard whether it writes, as the
// main window's handlers do.
class AskingWindow {
 public:
  explicit AskingWindow(std::function<void()> onMessage) : m_onMessage(std::move(onMessage)) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OvrixAskingWindow";
    RegisterClassW(&wc);
    hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~AskingWindow() { DestroyWindow(hwnd); }
  HWND hwnd = nullptr;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<AskingWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr && msg == WM_APP) {
      self->m_onMessage();
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  std::function<void()> m_onMessage;
};

TEST_F(KeyboardConcurrency, AHandlerAskingDuringDestructionDoesNotCollectTheWrite) {
  CKeyboard* dying = keyboard_.get();
  bool asked = false;
  bool destroyed = false;
  // Run while the destructor waits (it serves sent messages): the handler waits for
  // the write thread to end, then goes on asking whether the keyboard writes.
  AskingWindow window([&] {
    asked = true;
    if (destroyed) return;
    PumpUntil([&] { return !dying->WriteRunning(); });
    int rounds = 0;
    PumpUntil([&] { return !dying->IsWriting() || ++rounds > 40; });
  });
  ASSERT_TRUE(StartWrite());
  std::thread sender([&] { SendMessageW(window.hwnd, WM_APP, 0, 0); });
  keyboard_.reset();  // would use the write's parameters after the handler collected them
  destroyed = true;
  PumpUntil([&] { return asked; });
  sender.join();
  EXPECT_TRUE(asked);
  EXPECT_GE(LastCall(L"SetActiveProfile"), 0);
}

}  // namespace
