// For the device layer's tests: the stand-in service's core hosted in the test
// process (unregistered) and handed to a CKeyboard through its device-manager seam, the key files
// the build writes, and the service tests' message pump (the core serves its calls
// on this thread, so the write thread's calls are answered while the test pumps).
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/Keyboard.h"
#include "device/KeyboardConfig.h"
#include "device/KeyboardDef.h"
#include "platform/Com.h"
#include "platform/Handles.h"
#include "service/InProcessService.h"
#include "service/ServiceCore.h"
#include "service/ServiceObjects.h"
#include "platform/testing/MessagePump.h"
#include "platform/testing/TestFiles.h"
#include "service/ServiceTestSupport.h"
#include "service/SimKeyboard.h"

namespace devtest {

using platform::testing::ReadFileBytes;

// The program's key definitions and US defaults, as the skin loader would load them.
inline void LoadKeyFiles() {
  CKeyboardDef& keyboard = GlobalKeyboardDef();
  if (keyboard.IsLoaded()) return;
  const std::vector<uint8_t> definitions = ReadFileBytes(OVRIX_KEY_FILES_DIR "/KeyDefinitions.bin");
  const std::vector<uint8_t> defaults = ReadFileBytes(OVRIX_KEY_FILES_DIR "/KeyDefaults_US.bin");
  ASSERT_TRUE(keyboard.LoadKeyDefinitions(definitions.size(), definitions.data()));
  ASSERT_TRUE(keyboard.LoadKeyDefaults(defaults.data(), defaults.size()));
}

// The write thread reaches the service objects through marshalled references, which
// need the contract's proxy/stub registered, as the installed service registers it.
inline void RegisterProxyStub() {
  static HRESULT status = [] {
    HMODULE dll = LoadLibraryW(OVRIX_SERVICE_PS_DLL);
    if (dll == nullptr) return HRESULT_FROM_WIN32(GetLastError());
    auto reg = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
    return reg != nullptr ? reg() : E_FAIL;
  }();
  ASSERT_TRUE(SUCCEEDED(status)) << std::hex << status;
}

using platform::testing::PumpUntil;

// The waits of the background write under the test's control. The linger after the
// job returns at once, or (holdLinger) blocks until the test releases it; the
// destructor's wait for the thread serves the write's calls until the thread ends,
// or reports a timeout as soon as giveUpWhen holds.
class FakeWriteWaits : public device::WriteWaits {
 public:
  FakeWriteWaits() : m_release(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  FakeWriteWaits(const FakeWriteWaits&) = delete;
  FakeWriteWaits& operator=(const FakeWriteWaits&) = delete;

  void Linger(HANDLE wake, DWORD ms) override {
    lingerMs = ms;
    if (!holdLinger) return;
    lingering = true;
    HANDLE handles[2] = {wake, m_release.Get()};
    WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    lingering = false;
  }
  bool WaitForThread(HANDLE thread, DWORD ms) override {
    threadWaitMs = ms;
    const ULONGLONG bound = GetTickCount64() + 60000;  // a hung write fails the test, not the run
    for (;;) {
      DWORD index = 0;
      if (CoWaitForMultipleHandles(0, 5, 1, &thread, &index) == S_OK) return true;
      if ((giveUpWhen && giveUpWhen()) || GetTickCount64() > bound) return false;
    }
  }
  void ReleaseLinger() { SetEvent(m_release.Get()); }

  std::atomic<bool> holdLinger{false};
  std::atomic<bool> lingering{false};
  std::atomic<DWORD> lingerMs{0};
  DWORD threadWaitMs = 0;
  std::function<bool()> giveUpWhen;  // asked on the window thread

 private:
  platform::KernelHandle m_release;
};

// The key id of a device key code (through the key definitions).
inline int32_t KeyOf(uint32_t keyCode) { return CKeyboard::KeyIdFromDeviceCode(keyCode); }

// A key assignment record of one kind with a name payload.
inline KeyAssignment NamedAssignment(int32_t kind, const std::wstring& name) {
  KeyAssignment record;
  record.kind = kind;
  SetAssignmentText(record, name);
  if (kind == KEYKIND_MACRO_BYNAME) record.playMode = MACROPLAY_ONCE;
  return record;
}

inline KeyAssignment SingleKey(int16_t scanCode, uint8_t flags) {
  KeyAssignment record;
  record.kind = KEYKIND_SINGLEKEY;
  record.payload.key.scanCode = scanCode;
  record.payload.key.flags = flags;
  return record;
}

// The service core in this process, a keyboard bound to it, and a configuration.
class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(com_.Initialize(COINIT_APARTMENTTHREADED)));
    LoadKeyFiles();
    RegisterProxyStub();
    service_ = std::make_unique<CInProcessDeviceService>(L"", CInProcessDeviceService::Reach::FactoryOnly);
    config_ = std::make_unique<CMorvelConfig>(std::wstring(L".\\"));
    keyboard_ = NewKeyboard();
  }
  void TearDown() override {
    keyboard_.reset();
    config_.reset();
    service_.reset();
    com_.Uninitialize();
  }

  std::unique_ptr<CKeyboard> NewKeyboard() {
    auto keyboard = std::make_unique<CKeyboard>();
    keyboard->SetWriteWaits(waits_);
    keyboard->SetDeviceManagerFactory(ServiceSeam());
    return keyboard;
  }

  // The device-manager seam that reaches the in-process service.
  DeviceManagerFactory ServiceSeam() const {
    IClassFactory* factory = service_->Factory();
    return [factory](IDeviceManager** manager) {
      return factory->CreateInstance(nullptr, __uuidof(IDeviceManager), reinterpret_cast<void**>(manager));
    };
  }
  CServiceCore& Core() const { return service_->Core(); }

  // Both stages of reading, as the configurator's start-up and main window run them.
  void ReadAll() {
    ASSERT_TRUE(keyboard_->ReadFromDevice(config_.get()));
    ASSERT_TRUE(keyboard_->TransferConfig(config_.get(), TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL));
  }

  // Starts a full write and pumps until it has ended; its outcome.
  bool WriteAll() {
    if (!keyboard_->TransferConfig(config_.get(), TRANSFER_TO_DEVICE, TRANSFER_WRITE_ALL)) return false;
    EXPECT_TRUE(PumpUntil([&] { return !keyboard_->IsWriting(); }));
    return keyboard_->LastWriteSucceeded();
  }

  std::vector<std::wstring> Log() const { return Core().CallLog(); }
  // Calls of the log (from `from` on) whose names contain `part`.
  std::vector<std::wstring> Calls(const std::wstring& part) const {
    std::vector<std::wstring> found;
    for (const std::wstring& line : Core().CallLog())
      if (line.find(part) != std::wstring::npos) found.push_back(line);
    return found;
  }
  // Index of the first call whose name contains `part`, or -1.
  int FirstCall(const std::wstring& part) const {
    const auto log = Core().CallLog();
    for (std::size_t i = 0; i < log.size(); ++i)
      if (log[i].find(part) != std::wstring::npos) return static_cast<int>(i);
    return -1;
  }
  int LastCall(const std::wstring& part) const {
    const auto log = Core().CallLog();
    for (std::size_t i = log.size(); i-- > 0;)
      if (log[i].find(part) != std::wstring::npos) return static_cast<int>(i);
    return -1;
  }

  ServiceState& State() { return Core().State(); }
  SimProfile& DeviceProfile(std::size_t index) { return Core().State().profiles.at(index); }

  // Adds a profile to the service's state with every key at its default.
  SimProfile& AddDeviceProfile(const std::wstring& name) {
    SimProfile profile = NewSimProfile(Core().NewId(), Core().Keyboard());
    profile.name = name;
    Core().State().profiles.push_back(profile);
    return Core().State().profiles.back();
  }
  SimMacro& AddDeviceMacro(const std::wstring& name, std::vector<DeviceMacroEvent> events) {
    SimMacro macro;
    macro.id = Core().NewId();
    macro.name = name;
    macro.events = std::move(events);
    Core().State().macros.push_back(macro);
    return Core().State().macros.back();
  }
  SimApp& AddDeviceApp(const std::wstring& path) {
    SimApp app;
    app.id = Core().NewId();
    app.path = path;
    Core().State().apps.push_back(app);
    return Core().State().apps.back();
  }

  // The device record of a key (by its device key code) in a device profile.
  static const DeviceKeyAssignment* KeyRecord(const SimProfile& profile, uint32_t keyCode) {
    for (const DeviceKeyAssignment& record : profile.keys)
      if (record.keyCode == keyCode) return &record;
    return nullptr;
  }
  // The record to change before a read; the key must exist.
  static DeviceKeyAssignment& KeyRecordToEdit(SimProfile& profile, uint32_t keyCode) {
    for (DeviceKeyAssignment& record : profile.keys)
      if (record.keyCode == keyCode) return record;
    static DeviceKeyAssignment none{};
    ADD_FAILURE() << "no key with code " << keyCode;
    return none;
  }
  static int16_t RecordScanCode(const DeviceKeyAssignment& record) {
    int16_t scan = 0;
    std::memcpy(&scan, record.payload, sizeof scan);
    return scan;
  }
  static GUID RecordGuid(const DeviceKeyAssignment& record, std::size_t offset) {
    GUID id{};
    std::memcpy(&id, record.payload + (offset - 12), sizeof id);
    return id;
  }

  platform::ComApartment com_;  // first: COM ends after everything else of the fixture
  std::unique_ptr<CInProcessDeviceService> service_;
  std::shared_ptr<FakeWriteWaits> waits_ = std::make_shared<FakeWriteWaits>();
  std::unique_ptr<CMorvelConfig> config_;
  std::unique_ptr<CKeyboard> keyboard_;
};

// Device key codes of a few keys of the simulated keyboard.
inline constexpr uint32_t kKeyA = 0x1E;
inline constexpr uint32_t kKeyB = 0x30;
inline constexpr uint32_t kKeyEsc = 0x01;
inline constexpr uint32_t kKeyPause = 0x45 | (4u << 16);
inline constexpr uint32_t kKeyNumLock = 0x45;
inline constexpr uint32_t kKeyRightCtrl = 0x1D | (2u << 16);

}  // namespace devtest
