// The service core hosted in the test process: its class object is registered
// here, so CoCreateInstance reaches it directly, through the clients' interfaces.
#include "service/ServiceCore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>

#include "platform/Com.h"
#include "service/InProcessService.h"
#include "service/ServiceObjects.h"
#include "service/ServiceTestSupport.h"
#include "service/SimKeyboard.h"

namespace {

std::wstring NewTempFolder() { return platform::testing::MakeTempFolder(L"ovrix-core-"); }

DeviceKeyAssignment Record(uint32_t keyCode, int32_t type) {
  DeviceKeyAssignment r{};
  r.header = 1;
  r.keyCode = keyCode;
  r.type = type;
  return r;
}

void PutGuid(DeviceKeyAssignment& r, size_t payloadOffset, const GUID& id) {
  std::memcpy(r.payload + payloadOffset, &id, sizeof(id));
}

class ServiceCoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(m_com.Initialize(COINIT_APARTMENTTHREADED)));
    m_folder = NewTempFolder();
    Start();
  }
  void TearDown() override {
    m_session.Close();
    Stop();
    m_com.Uninitialize();
  }
  CServiceCore::Options Options() const {
    CServiceCore::Options o;
    o.stateFile = m_folder + L"DeviceService.state";
    o.logFile = m_folder + L"DeviceService.log";
    o.keyboard = SimKeyboardKeys();
    o.flushDelayMs = 100;
    return o;
  }
  void Start() {
    m_core = CServiceCore::Create(Options());
    m_registration = std::make_unique<CServiceClassRegistration>(m_core);
    ASSERT_TRUE(SUCCEEDED(m_registration->Status()));
    ASSERT_TRUE(SUCCEEDED(m_session.Open()));
    ASSERT_FALSE(m_core->CallLog().empty()) << "the in-process core must serve the calls";
  }
  void Stop() {
    m_session.Close();
    m_registration.reset();
    m_core.reset();
  }
  void Restart() {
    Stop();
    Start();
  }
  std::wstring Dump() const { return DumpSimState(m_core->State(), 1, true); }

  ComRef<IProfileManager> Profiles() {
    ComRef<IProfileManager> pm;
    EXPECT_TRUE(SUCCEEDED(m_session.Feature(pm)));
    return pm;
  }
  std::wstring NameAt(IProfileManager* pm, int index) {
    ComRef<IDeviceProfile> p;
    if (FAILED(pm->GetProfile(index, p.Out()))) return L"<none>";
    return NameOf(p.Get());
  }
  GUID IdOf(IDeviceProfile* p) {
    GUID id{};
    EXPECT_TRUE(SUCCEEDED(p->GetId(&id)));
    return id;
  }

  platform::ComApartment m_com;
  // Sinks outlive the core, which releases its sinks when it ends.
  CTestSink m_sink, m_sink2;
  std::wstring m_folder;
  std::shared_ptr<CServiceCore> m_core;
  std::unique_ptr<CServiceClassRegistration> m_registration;
  ServiceSession m_session;
};

TEST_F(ServiceCoreTest, DeviceIdentityInfoAndEnumerationEnd) {
  ComRef<IDevice> second;
  EXPECT_LT(m_session.manager->GetDevice(1, second.Out()), 0);
  EXPECT_FALSE(second);

  ComRef<IDeviceIdentity> identity;
  ASSERT_TRUE(SUCCEEDED(m_session.device->QueryInterface(__uuidof(IDeviceIdentity), identity.OutVoid())));
  DWORD vendor = 0, product = 0;
  ASSERT_EQ(identity->GetIds(&vendor, &product), S_OK);
  EXPECT_EQ(vendor, 0x2F7Au);
  EXPECT_EQ(product, 0x0C41u);

  DeviceInfo info{};
  ASSERT_EQ(m_session.device->GetInfo(&info), S_OK);
  EXPECT_EQ(info.productId, 0x0C41u);
  EXPECT_EQ(info.firmwareMajor, 1u);
  EXPECT_EQ(info.firmwareMinor, 5u);
  ASSERT_NE(info.text, nullptr);
  CoTaskMemFree(info.text);

  ComRef<IDeviceStatus> status;
  ASSERT_TRUE(SUCCEEDED(m_session.device->QueryInterface(__uuidof(IDeviceStatus), status.OutVoid())));
  DWORD layout = 99;
  EXPECT_EQ(status->GetValue(&layout), S_OK);
  EXPECT_EQ(layout, 0u);

  ComRef<IUnknown> none;
  EXPECT_EQ(m_session.device->GetFeature(__uuidof(IColorRangeList), none.OutVoid()), E_NOINTERFACE);
}

TEST_F(ServiceCoreTest, FactoryStateHasOneActiveProfileWithEveryKeyAtItsDefault) {
  auto pm = Profiles();
  EXPECT_EQ(NameAt(pm.Get(), 0), L"Profile 1");
  EXPECT_EQ(NameAt(pm.Get(), 1), L"<none>");
  ComRef<IDeviceProfile> active;
  ASSERT_EQ(pm->GetActiveProfile(active.Out()), S_OK);
  ComRef<IKeyAssignments> keys;
  ASSERT_EQ(active->GetFeature(__uuidof(IKeyAssignments), keys.OutVoid()), S_OK);
  DeviceAssignmentCount count{};
  ASSERT_EQ(keys->GetCount(&count), S_OK);
  ASSERT_EQ(count.count, SimKeyboardKeys().size());
  std::vector<DeviceKeyAssignment> records(count.count);
  DWORD n = count.count;
  DeviceKeyAssignment* buffer = records.data();
  ASSERT_EQ(keys->GetAssignments(&n, &buffer), S_OK);
  ASSERT_EQ(n, count.count);
  for (const auto& r : records) {
    EXPECT_EQ(r.type, 5);
    int16_t scan = 0;
    std::memcpy(&scan, r.payload, 2);
    EXPECT_EQ(static_cast<uint32_t>(static_cast<uint16_t>(scan)), r.keyCode & 0xFFFF);
  }
  ComRef<IMacroManager> macros;
  ASSERT_EQ(m_session.Feature(macros), S_OK);
  ComRef<IDeviceMacro> m;
  EXPECT_LT(macros->GetMacro(0, m.Out()), 0);
}

TEST_F(ServiceCoreTest, CreatedProfilesGetIdsAndDeleteShiftsLaterIndices) {
  auto pm = Profiles();
  ComRef<IDeviceProfile> a, b;
  ASSERT_EQ(pm->CreateProfile(a.Out()), S_OK);
  ASSERT_EQ(pm->CreateProfile(b.Out()), S_OK);
  ASSERT_EQ(a->SetName(L"A"), S_OK);
  ASSERT_EQ(b->SetName(L"B"), S_OK);
  const GUID idA = IdOf(a.Get()), idB = IdOf(b.Get());
  EXPECT_FALSE(IsZeroId(idA));
  EXPECT_FALSE(SameGuid(idA, idB));

  ASSERT_EQ(pm->DeleteProfile(a.Get()), S_OK);
  EXPECT_EQ(NameAt(pm.Get(), 1), L"B");
  EXPECT_EQ(NameAt(pm.Get(), 2), L"<none>");
  LPWSTR name = nullptr;
  EXPECT_LT(a->GetName(&name), 0) << "an object of a deleted profile fails";
  EXPECT_EQ(name, nullptr);

  ComRef<IDeviceProfile> found;
  EXPECT_EQ(pm->GetProfileById(idB, found.Out()), S_OK);
  EXPECT_LT(pm->GetProfileById(idA, found.Out()), 0);
  EXPECT_LT(pm->GetProfileById(GUID{}, found.Out()), 0);
  EXPECT_FALSE(found);
}

TEST_F(ServiceCoreTest, NamesAndPathsAreBounded) {
  auto pm = Profiles();
  ComRef<IDeviceProfile> p;
  ASSERT_EQ(pm->GetProfile(0, p.Out()), S_OK);
  EXPECT_EQ(p->SetName(std::wstring(259, L'n').c_str()), S_OK);
  EXPECT_EQ(p->SetName(std::wstring(260, L'n').c_str()), E_INVALIDARG);
  EXPECT_EQ(p->SetName(nullptr), E_POINTER);
  EXPECT_EQ(NameOf(p.Get()), std::wstring(259, L'n'));
}

TEST_F(ServiceCoreTest, EveryActivationRaisesTheProfileEventOnEverySink) {
  auto listener = Profiles();
  auto other = Profiles();  // another client's profile manager
  CTestSink& sink1 = m_sink;
  CTestSink& sink2 = m_sink2;
  const DWORD c1 = AdviseOn(listener.Get(), __uuidof(_IProfileManagerEvents), static_cast<_IProfileManagerEvents*>(&sink1));
  const DWORD c2 = AdviseOn(listener.Get(), __uuidof(_IProfileManagerEvents), static_cast<_IProfileManagerEvents*>(&sink2));
  ASSERT_NE(c1, 0u);
  ASSERT_NE(c2, 0u);
  ComRef<IDeviceProfile> p;
  ASSERT_EQ(other->GetProfile(0, p.Out()), S_OK);
  ASSERT_EQ(other->SetActiveProfile(p.Get()), S_OK);
  ASSERT_EQ(other->SetActiveProfile(p.Get()), S_OK);  // the same profile again still counts
  EXPECT_TRUE(sink1.calls.empty()) << "events are posted, not fired inside the call";
  ASSERT_TRUE(PumpUntil([&] { return sink1.calls.size() == 2 && sink2.calls.size() == 2; }));
  EXPECT_TRUE(SameGuid(sink1.profiles[0], IdOf(p.Get())));

  // A sink whose process is gone answers with an RPC error and is dropped.
  sink2.answer = RPC_E_DISCONNECTED;
  ASSERT_EQ(other->SetActiveProfile(p.Get()), S_OK);
  ASSERT_TRUE(PumpUntil([&] { return sink1.calls.size() == 3; }));
  EXPECT_EQ(m_core->SinkCount(EventSource::Profile), 1u);
  ASSERT_EQ(other->SetActiveProfile(p.Get()), S_OK);
  ASSERT_TRUE(PumpUntil([&] { return sink1.calls.size() == 4; }));
  EXPECT_EQ(sink2.calls.size(), 3u);

  EXPECT_TRUE(UnadviseOn(listener.Get(), __uuidof(_IProfileManagerEvents), c1));
  EXPECT_FALSE(UnadviseOn(listener.Get(), __uuidof(_IProfileManagerEvents), c1));
  EXPECT_EQ(m_core->SinkCount(EventSource::Profile), 0u);
}

TEST_F(ServiceCoreTest, KeyAssignmentsAreCheckedWholeAndClampedToTheCallersBuffer) {
  auto pm = Profiles();
  ComRef<IDeviceProfile> p;
  ASSERT_EQ(pm->GetProfile(0, p.Out()), S_OK);
  ComRef<IKeyAssignments> keys;
  ASSERT_EQ(p->GetFeature(__uuidof(IKeyAssignments), keys.OutVoid()), S_OK);
  const auto keyboard = SimKeyboardKeys();

  DeviceKeyAssignment good = Record(keyboard[3].keyCode, 8);
  DeviceKeyAssignment batch[2] = {good, Record(0x7777, 6)};  // the second key does not exist
  const std::wstring before = Dump();
  EXPECT_EQ(keys->SetAssignments(2, batch), E_INVALIDARG);
  EXPECT_EQ(Dump(), before) << "a refused batch stores nothing";
  DeviceKeyAssignment badType = Record(keyboard[3].keyCode, 7);
  EXPECT_EQ(keys->SetAssignments(1, &badType), E_INVALIDARG);
  EXPECT_EQ(keys->SetAssignments(-1, &good), E_INVALIDARG);
  good.header = 0;  // the tray's header word
  EXPECT_EQ(keys->SetAssignments(1, &good), S_OK);

  DeviceKeyAssignment small[4] = {};
  DWORD n = 4;
  DeviceKeyAssignment* buffer = small;
  ASSERT_EQ(keys->GetAssignments(&n, &buffer), S_OK);
  EXPECT_EQ(n, 4u) << "never more than the caller's buffer holds";
  EXPECT_EQ(small[3].type, 8);
  EXPECT_EQ(small[3].header, 0);
}

TEST_F(ServiceCoreTest, ProfileProperties) {
  auto pm = Profiles();
  ComRef<IDeviceProfile> p;
  ASSERT_EQ(pm->GetProfile(0, p.Out()), S_OK);
  ComRef<IProfileProperties> props;
  ASSERT_EQ(p->GetFeature(__uuidof(IProfileProperties), props.OutVoid()), S_OK);

  BYTE buffer[256] = {};
  DWORD size = sizeof(buffer);
  ASSERT_EQ(props->GetProperty(kProfilePropertyProgramFile, 0, buffer, 0, &size), S_OK);
  EXPECT_EQ(size, 0u) << "unset";

  wchar_t name[128] = L"game.exe";
  ASSERT_EQ(props->SetProperty(kProfilePropertyProgramFile, name, 0, 256, 0), S_OK);
  size = sizeof(buffer);
  ASSERT_EQ(props->GetProperty(kProfilePropertyProgramFile, 0, buffer, 0, &size), S_OK);
  EXPECT_EQ(size, 18u);
  EXPECT_EQ(std::wstring(reinterpret_cast<wchar_t*>(buffer)), L"game.exe");
  size = 4;
  EXPECT_LT(props->GetProperty(kProfilePropertyProgramFile, 0, buffer, 0, &size), 0) << "too small a buffer";
  EXPECT_EQ(size, 0u);

  wchar_t full[128];
  std::fill(full, full + 128, L'x');  // 128 characters and no terminator
  EXPECT_EQ(props->SetProperty(kProfilePropertyProgramFile, full, 0, 256, 0), E_INVALIDARG);
  EXPECT_EQ(props->SetProperty(kProfilePropertyProgramFile, full, 0, 258, 0), E_INVALIDARG);

  struct Case {
    WORD mask, value;
    HRESULT expected;
    WORD flagsAfter;
  } cases[] = {
      {1, 1, S_OK, 1}, {4, 1, S_OK, 5}, {2, 0, S_OK, 5}, {1, 0, S_OK, 4},
      {3, 1, E_INVALIDARG, 4}, {8, 1, E_INVALIDARG, 4}, {4, 2, E_INVALIDARG, 4}, {4, 0, S_OK, 0},
  };
  for (const auto& c : cases) {
    WORD write[2] = {c.mask, c.value};
    EXPECT_EQ(props->SetProperty(kProfilePropertyFlags, write, 0, 4, 0), c.expected) << c.mask << " " << c.value;
    WORD flags = 0xFFFF;
    size = 2;
    ASSERT_EQ(props->GetProperty(kProfilePropertyFlags, 0, &flags, 0, &size), S_OK);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(flags, c.flagsAfter) << c.mask << " " << c.value;
  }
  EXPECT_EQ(props->GetProperty(0x80000009, 0, buffer, 0, &size), E_INVALIDARG);
}

TEST_F(ServiceCoreTest, MacroEventsTravelAsBlobs) {
  ComRef<IMacroManager> macros;
  ASSERT_EQ(m_session.Feature(macros), S_OK);
  ComRef<IDeviceMacro> m;
  ASSERT_EQ(macros->CreateMacro(m.Out()), S_OK);
  ASSERT_EQ(m->SetName(L"New Macro1"), S_OK);

  const size_t n = 3;
  auto* blob = static_cast<DeviceMacroBlob*>(CoTaskMemAlloc(16 + 8 * n));
  std::memset(blob, 0, 16 + 8 * n);
  blob->count = n;
  blob->events[0] = {2, 0x1E};
  blob->events[1] = {3, 120};
  blob->events[2] = {2, 0x1001E};
  EXPECT_EQ(m->SetEvents(blob), S_OK);
  blob->count = -1;
  EXPECT_EQ(m->SetEvents(blob), E_INVALIDARG);
  blob->count = 1;
  blob->events[0].type = 9;
  EXPECT_EQ(m->SetEvents(blob), E_INVALIDARG);
  CoTaskMemFree(blob);

  DeviceMacroBlob* out = nullptr;
  ASSERT_EQ(m->GetEvents(&out), S_OK);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->reserved, 0);
  ASSERT_EQ(out->count, 3);
  EXPECT_EQ(out->events[1].type, 3);
  EXPECT_EQ(out->events[1].data, 120u);
  EXPECT_EQ(out->events[2].data, 0x1001Eu);
  CoTaskMemFree(out);

  ASSERT_EQ(macros->DeleteMacro(m.Get()), S_OK);
  ComRef<IDeviceMacro> none;
  EXPECT_LT(macros->GetMacro(0, none.Out()), 0);
}

TEST_F(ServiceCoreTest, ProfileFileCarriesItsMacrosAndProgramsToAnotherKeyboard) {
  const auto keyboard = SimKeyboardKeys();
  ComRef<IMacroManager> macros;
  ComRef<IApplicationManager> apps;
  ASSERT_EQ(m_session.Feature(macros), S_OK);
  ASSERT_EQ(m_session.Feature(apps), S_OK);
  ComRef<IDeviceMacro> m;
  ASSERT_EQ(macros->CreateMacro(m.Out()), S_OK);
  ASSERT_EQ(m->SetName(L"Combo"), S_OK);
  ComRef<IDeviceApplication> app;
  ASSERT_EQ(apps->CreateApplication(app.Out()), S_OK);
  ASSERT_EQ(app->SetName(L"C:\\Games\\game.exe"), S_OK);
  GUID macroId{}, appId{};
  ASSERT_EQ(m->GetId(&macroId), S_OK);
  ASSERT_EQ(app->GetId(&appId), S_OK);

  auto pm = Profiles();
  ComRef<IDeviceProfile> p;
  ASSERT_EQ(pm->GetProfile(0, p.Out()), S_OK);
  ASSERT_EQ(p->SetName(L"Shooter"), S_OK);
  ComRef<IKeyAssignments> keys;
  ASSERT_EQ(p->GetFeature(__uuidof(IKeyAssignments), keys.OutVoid()), S_OK);
  DeviceKeyAssignment r[2] = {Record(keyboard[1].keyCode, 8), Record(keyboard[2].keyCode, 9)};
  PutGuid(r[0], 0, macroId);
  r[0].payload[16] = 2;  // play mode
  r[0].payload[17] = 5;  // repeat count
  PutGuid(r[1], 0, appId);
  ASSERT_EQ(keys->SetAssignments(2, r), S_OK);
  const std::wstring file = m_folder + L"shooter.qxp";
  ASSERT_EQ(p->ExportToFile(file.c_str()), S_OK);

  // A keyboard that has never seen the macro or the program.
  Stop();
  m_folder = NewTempFolder();
  Start();
  auto pm2 = Profiles();
  ComRef<IDeviceProfile> imported;
  ASSERT_EQ(pm2->ImportProfile(file.c_str(), imported.Out()), S_OK);
  EXPECT_EQ(NameOf(imported.Get()), L"Shooter");
  EXPECT_EQ(NameAt(pm2.Get(), 1), L"Shooter");

  const auto& state = m_core->State();
  ASSERT_EQ(state.macros.size(), 1u);
  ASSERT_EQ(state.apps.size(), 1u);
  EXPECT_EQ(state.macros[0].name, L"Combo");
  EXPECT_EQ(state.apps[0].path, L"C:\\Games\\game.exe");
  const SimProfile& copy = state.profiles[1];
  ASSERT_EQ(copy.keys.size(), keyboard.size());
  GUID k1{}, k2{};
  std::memcpy(&k1, copy.keys[1].payload, 16);
  std::memcpy(&k2, copy.keys[2].payload, 16);
  EXPECT_TRUE(SameGuid(k1, state.macros[0].id)) << "macro reference points at the imported macro";
  EXPECT_TRUE(SameGuid(k2, state.apps[0].id));
  EXPECT_EQ(copy.keys[1].payload[16], 2);
  EXPECT_EQ(copy.keys[1].payload[17], 5);
}

TEST_F(ServiceCoreTest, MacroFileRoundTrip) {
  ComRef<IMacroManager> macros;
  ASSERT_EQ(m_session.Feature(macros), S_OK);
  ComRef<IDeviceMacro> m;
  ASSERT_EQ(macros->CreateMacro(m.Out()), S_OK);
  ASSERT_EQ(m->SetName(L"Tab\tand \\ new\nline"), S_OK);
  DeviceMacroBlob blob{};
  blob.count = 1;
  blob.events[0] = {1, 0x1};
  ASSERT_EQ(m->SetEvents(&blob), S_OK);
  const std::wstring file = m_folder + L"m.qxm";
  ASSERT_EQ(m->ExportToFile(file.c_str()), S_OK);
  ComRef<IDeviceMacro> copy;
  ASSERT_EQ(macros->ImportMacro(file.c_str(), copy.Out()), S_OK);
  EXPECT_EQ(NameOf(copy.Get()), L"Tab\tand \\ new\nline");
  GUID a{}, b{};
  m->GetId(&a);
  copy->GetId(&b);
  EXPECT_FALSE(SameGuid(a, b)) << "an import is a new macro";
  DeviceMacroBlob* events = nullptr;
  ASSERT_EQ(copy->GetEvents(&events), S_OK);
  EXPECT_EQ(events->count, 1);
  EXPECT_EQ(events->events[0].data, 1u);
  CoTaskMemFree(events);
}

TEST_F(ServiceCoreTest, BadFilesAreRefusedAndChangeNothing) {
  auto pm = Profiles();
  ComRef<IDeviceProfile> p;
  ASSERT_EQ(pm->GetProfile(0, p.Out()), S_OK);
  const std::wstring good = m_folder + L"good.qxp";
  ASSERT_EQ(p->ExportToFile(good.c_str()), S_OK);
  const std::string text = ReadWholeFile(good);
  ComRef<IMacroManager> macros;
  ASSERT_EQ(m_session.Feature(macros), S_OK);
  ComRef<IDeviceMacro> m;
  ASSERT_EQ(macros->CreateMacro(m.Out()), S_OK);
  const std::wstring macroFile = m_folder + L"m.qxm";
  ASSERT_EQ(m->ExportToFile(macroFile.c_str()), S_OK);

  std::string otherVersion = text;
  otherVersion.replace(otherVersion.find("\t1\n"), 3, "\t2\n");
  std::string badKey = text;
  badKey.insert(badKey.find("key\t") + 4, "zz");
  struct Case {
    const char* what;
    std::string content;
  } cases[] = {
      {"empty", ""},
      {"truncated in a line", text.substr(0, text.size() / 2)},
      {"without its end line", text.substr(0, text.rfind("end\n"))},
      {"another version", otherVersion},
      {"a malformed record", badKey},
      {"text after the end", text + "key\t00\n"},
      {"a macro file", ReadWholeFile(macroFile)},
      {"binary garbage", std::string("\x00\xff\x10garbage\n", 11)},
  };
  const std::wstring before = Dump();
  ComRef<IDeviceProfile> imported;
  for (const auto& c : cases) {
    const std::wstring bad = m_folder + L"bad.qxp";
    WriteWholeFile(bad, c.content);
    EXPECT_LT(pm->ImportProfile(bad.c_str(), imported.Out()), 0) << c.what;
    EXPECT_FALSE(imported) << c.what;
    ComRef<IDeviceMacro> mi;
    if (c.content != ReadWholeFile(macroFile)) {
      EXPECT_LT(macros->ImportMacro(bad.c_str(), mi.Out()), 0) << c.what;
    }
  }
  EXPECT_LT(pm->ImportProfile((m_folder + L"missing.qxp").c_str(), imported.Out()), 0);
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(pm->ImportProfile(good.c_str(), imported.Out()), S_OK) << "the intact file still imports";
}

TEST_F(ServiceCoreTest, ChangesAreDurableWhenTheOperationEnds) {
  const std::wstring stateFile = Options().stateFile;
  {
    auto pm = Profiles();
    ComRef<IDeviceProfile> p;
    ASSERT_EQ(pm->CreateProfile(p.Out()), S_OK);
    ASSERT_EQ(p->SetName(L"Kept"), S_OK);
  }
  EXPECT_TRUE(m_core->Dirty()) << "not written after every call";
  m_session.Close();  // the client releases its device manager
  EXPECT_FALSE(m_core->Dirty());
  EXPECT_NE(ReadWholeFile(stateFile).find("Kept"), std::string::npos);
  const std::wstring before = Dump();
  Restart();
  EXPECT_EQ(Dump(), before);
}

TEST_F(ServiceCoreTest, ChangesAreDurableAfterTheIdleDelay) {
  auto pm = Profiles();
  ComRef<IDeviceProfile> p;
  ASSERT_EQ(pm->GetProfile(0, p.Out()), S_OK);
  ASSERT_EQ(p->SetName(L"Idle"), S_OK);
  ASSERT_TRUE(PumpUntil([&] { return !m_core->Dirty(); }));
  EXPECT_NE(ReadWholeFile(Options().stateFile).find("Idle"), std::string::npos);
}

TEST_F(ServiceCoreTest, UnreadableStateFileIsKeptAsideAndTheServiceStartsFresh) {
  m_session.Close();
  Stop();
  const std::wstring stateFile = Options().stateFile;
  std::string text = ReadWholeFile(stateFile);
  ASSERT_FALSE(text.empty());
  WriteWholeFile(stateFile, text.substr(0, text.size() - 10));  // torn
  WriteWholeFile(stateFile + L".tmp", "half a write");           // a write that never finished
  Start();
  EXPECT_NE(m_core->StartNotice().find(L"kept aside"), std::wstring::npos) << m_core->StartNotice();
  EXPECT_EQ(m_core->State().profiles.size(), 1u);
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW((stateFile + L".bad-*").c_str(), &found);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << "the unreadable file is kept";
  FindClose(h);
  EXPECT_NE(ReadWholeFile(Options().logFile).find("kept aside"), std::string::npos);
}

TEST_F(ServiceCoreTest, KeyPressesOfTheSimulatedKeyboard) {
  const auto keyboard = SimKeyboardKeys();
  auto pm = Profiles();
  ComRef<IDeviceProfile> first, second;
  ASSERT_EQ(pm->GetProfile(0, first.Out()), S_OK);
  ASSERT_EQ(pm->CreateProfile(second.Out()), S_OK);
  ComRef<IApplicationManager> apps;
  ASSERT_EQ(m_session.Feature(apps), S_OK);
  ComRef<IDeviceApplication> app;
  ASSERT_EQ(apps->CreateApplication(app.Out()), S_OK);
  ASSERT_EQ(app->SetName(L"notepad.exe"), S_OK);
  GUID appId{};
  app->GetId(&appId);

  ComRef<IKeyAssignments> keys;
  ASSERT_EQ(first->GetFeature(__uuidof(IKeyAssignments), keys.OutVoid()), S_OK);
  DeviceKeyAssignment r[2] = {Record(keyboard[5].keyCode, 3), Record(keyboard[6].keyCode, 9)};
  const int32_t switchTo = 3;
  std::memcpy(r[0].payload, &switchTo, 4);
  PutGuid(r[0], 4, IdOf(second.Get()));
  PutGuid(r[1], 0, appId);
  ASSERT_EQ(keys->SetAssignments(2, r), S_OK);

  CTestSink& sink = m_sink;
  ASSERT_NE(AdviseOn(pm.Get(), __uuidof(_IProfileManagerEvents), static_cast<_IProfileManagerEvents*>(&sink)), 0u);
  ASSERT_NE(AdviseOn(apps.Get(), __uuidof(_IApplicationEvent), static_cast<_IApplicationEvent*>(&sink)), 0u);

  EXPECT_EQ(m_core->PressKey(keyboard[6].keyCode), S_OK);
  EXPECT_EQ(m_core->PressKey(keyboard[7].keyCode), S_FALSE) << "a key at its default";
  ComRef<IDeviceMode> mode;
  ASSERT_EQ(m_session.Feature(mode), S_OK);
  ASSERT_EQ(mode->SetMode(2), S_OK);
  EXPECT_EQ(m_core->PressKey(keyboard[5].keyCode), S_FALSE) << "remapping suspended";
  ASSERT_EQ(mode->SetMode(1), S_OK);
  EXPECT_EQ(mode->SetMode(3), E_INVALIDARG);
  EXPECT_EQ(m_core->PressKey(keyboard[5].keyCode), S_OK);
  ASSERT_TRUE(PumpUntil([&] { return sink.calls.size() == 2; }));
  EXPECT_EQ(sink.calls[0], L"app 1 notepad.exe");
  EXPECT_EQ(sink.calls[1], L"profile");
  EXPECT_TRUE(SameGuid(m_core->State().active, IdOf(second.Get())));
}

TEST_F(ServiceCoreTest, RecordingEventsReachTheRecordingSource) {
  ComRef<IOTFMacroRecording> recording;
  ASSERT_EQ(m_session.Feature(recording), S_OK);
  CTestSink& sink = m_sink;
  ASSERT_NE(AdviseOn(recording.Get(), __uuidof(_IOTFMacroRecordingEvents),
                     static_cast<_IOTFMacroRecordingEvents*>(&sink)),
            0u);
  ComRef<IUnknown> wrong;
  EXPECT_EQ(AdviseOn(recording.Get(), __uuidof(_IProfileManagerEvents), static_cast<_IProfileManagerEvents*>(&sink)),
            0u)
      << "each source offers only its own events";
  for (int step = 1; step <= 4; ++step) m_core->RaiseRecording(step, 0x2001D);
  ASSERT_TRUE(PumpUntil([&] { return sink.calls.size() == 4; }));
  EXPECT_EQ(sink.calls, (std::vector<std::wstring>{L"started", L"stopped", L"finished 0 131101", L"cancelled"}));
}

TEST_F(ServiceCoreTest, UnpluggedKeyboardAndInjectedFaults) {
  m_core->SetPlugged(false);
  ComRef<IDevice> device;
  EXPECT_LT(m_session.manager->GetDevice(0, device.Out()), 0) << "no matching device while unplugged";
  ComRef<IProfileManager> pm;
  EXPECT_EQ(m_session.Feature(pm), kErrUnplugged) << "objects already held fail too";
  m_core->SetPlugged(true);
  ASSERT_EQ(m_session.Feature(pm), S_OK);

  ComRef<IDeviceProfile> p;
  m_core->SetFault(L"GetProfile", E_ACCESSDENIED, 0);
  EXPECT_EQ(pm->GetProfile(0, p.Out()), E_ACCESSDENIED);
  m_core->SetFault(L"GetProfile", S_OK, 0);
  EXPECT_EQ(pm->GetProfile(0, p.Out()), S_OK);
  m_core->SetFault(L"IDeviceProfile::GetId", E_FAIL, 30);
  GUID id{};
  EXPECT_EQ(p->GetId(&id), E_FAIL);
  m_core->ClearFaults();
  EXPECT_EQ(p->GetId(&id), S_OK);
  const auto log = m_core->CallLog();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log.back(), L"IDeviceProfile::GetId");

  // Only the third call from now fails, once; a bare name counts every interface's.
  m_core->SetFaultOnCall(L"GetId", E_ACCESSDENIED, 3);
  HRESULT results[5];
  for (HRESULT& hr : results) hr = p->GetId(&id);
  const HRESULT expected[5] = {S_OK, S_OK, E_ACCESSDENIED, S_OK, S_OK};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(results[i], expected[i]) << "call " << i + 1;
}

// A COM object as C code or another server's proxy makes one: a table of functions
// with no C++ type information in front of it. The service must tell it from its
// own objects without reading it as one of them.
struct ForeignObject {
  static HRESULT STDMETHODCALLTYPE QueryInterface(void*, REFIID, void** out) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  static ULONG STDMETHODCALLTYPE AddRef(void*) { return 1; }
  static ULONG STDMETHODCALLTYPE Release(void*) { return 1; }
  static HRESULT STDMETHODCALLTYPE Other(void*) { return E_NOTIMPL; }

  ForeignObject() {
    slots[2] = reinterpret_cast<void*>(&QueryInterface);
    slots[3] = reinterpret_cast<void*>(&AddRef);
    slots[4] = reinterpret_cast<void*>(&Release);
    for (int i = 5; i < 20; ++i) slots[i] = reinterpret_cast<void*>(&Other);
    table = slots + 2;
  }
  template <typename T>
  T* As() {
    return reinterpret_cast<T*>(this);
  }
  void** table;
  void* slots[20] = {};  // slots 0 and 1: where a C++ object keeps its type information
};

TEST_F(ServiceCoreTest, ObjectsThatAreNotTheServicesOwnAreRefused) {
  ForeignObject foreign;
  auto pm = Profiles();
  ComRef<IMacroManager> macros;
  ComRef<IApplicationManager> apps;
  ASSERT_EQ(m_session.Feature(macros), S_OK);
  ASSERT_EQ(m_session.Feature(apps), S_OK);
  ComRef<IDeviceMacro> macro;
  ASSERT_EQ(macros->CreateMacro(macro.Out()), S_OK);
  ComRef<IDeviceApplication> app;
  ASSERT_EQ(apps->CreateApplication(app.Out()), S_OK);
  const std::wstring before = Dump();

  EXPECT_EQ(pm->SetActiveProfile(foreign.As<IDeviceProfile>()), E_INVALIDARG);
  EXPECT_EQ(pm->DeleteProfile(foreign.As<IDeviceProfile>()), E_INVALIDARG);
  EXPECT_EQ(macros->DeleteMacro(foreign.As<IDeviceMacro>()), E_INVALIDARG);
  EXPECT_EQ(apps->DeleteApplication(foreign.As<IDeviceApplication>()), E_INVALIDARG);
  // The service's own objects, of the wrong kind.
  EXPECT_EQ(pm->DeleteProfile(reinterpret_cast<IDeviceProfile*>(macro.Get())), E_INVALIDARG);
  EXPECT_EQ(macros->DeleteMacro(reinterpret_cast<IDeviceMacro*>(app.Get())), E_INVALIDARG);
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(macros->DeleteMacro(macro.Get()), S_OK);
  EXPECT_EQ(apps->DeleteApplication(app.Get()), S_OK);
}

// Every creation, import and event write stops at the service's limits, and a state
// at every limit, each name at its longest, is written and read again at a restart.
TEST_F(ServiceCoreTest, AStateAtEveryLimitSurvivesARestart) {
  const std::wstring longest(kMaxSimText, L'\u20AC');  // three bytes each in the file
  auto pm = Profiles();
  ComRef<IMacroManager> macros;
  ComRef<IApplicationManager> apps;
  ASSERT_EQ(m_session.Feature(macros), S_OK);
  ASSERT_EQ(m_session.Feature(apps), S_OK);
  const std::wstring macroFile = m_folder + L"one.qxm";
  const std::wstring profileFile = m_folder + L"one.qxp";
  {
    ComRef<IDeviceMacro> m;
    ASSERT_EQ(macros->CreateMacro(m.Out()), S_OK);
    GUID id{};
    ASSERT_EQ(m->GetId(&id), S_OK);
    ASSERT_EQ(m_core->ExportMacroFile(id, macroFile), S_OK);
    ASSERT_EQ(m_core->ExportProfileFile(m_core->State().profiles[0].id, profileFile), S_OK);
    ASSERT_EQ(macros->DeleteMacro(m.Get()), S_OK);
  }
  for (auto& p : m_core->State().profiles) p.name = longest;
  while (m_core->State().profiles.size() < kMaxSimProfiles) {
    ComRef<IDeviceProfile> p;
    ASSERT_EQ(pm->CreateProfile(p.Out()), S_OK);
    ASSERT_EQ(p->SetName(longest.c_str()), S_OK);
  }
  ComRef<IDeviceMacro> big;
  while (m_core->State().macros.size() < kMaxSimMacros) {
    ComRef<IDeviceMacro> m;
    ASSERT_EQ(macros->CreateMacro(m.Out()), S_OK);
    ASSERT_EQ(m->SetName(longest.c_str()), S_OK);
    if (!big) big = std::move(m);
  }
  while (m_core->State().apps.size() < kMaxSimApps) {
    ComRef<IDeviceApplication> a;
    ASSERT_EQ(apps->CreateApplication(a.Out()), S_OK);
    ASSERT_EQ(a->SetName(longest.c_str()), S_OK);
  }
  const size_t bytes = 16 + 8 * kMaxSimEventsTotal;
  auto* blob = static_cast<DeviceMacroBlob*>(CoTaskMemAlloc(bytes));
  ASSERT_NE(blob, nullptr);
  std::memset(blob, 0, bytes);
  blob->count = static_cast<LONG>(kMaxSimEventsTotal);
  for (size_t i = 0; i < kMaxSimEventsTotal; ++i) blob->events[i] = {3, 0xFFFFFFFFu};
  ASSERT_EQ(big->SetEvents(blob), S_OK) << "the whole allowance in one macro";
  EXPECT_EQ(big->SetEvents(blob), S_OK) << "replacing a macro's events counts its old ones out";
  CoTaskMemFree(blob);

  // One more of anything is refused, with the service's status.
  ComRef<IDeviceProfile> p;
  EXPECT_EQ(pm->CreateProfile(p.Out()), kErrFull);
  EXPECT_EQ(pm->ImportProfile(profileFile.c_str(), p.Out()), kErrFull);
  ComRef<IDeviceMacro> m;
  EXPECT_EQ(macros->CreateMacro(m.Out()), kErrFull);
  EXPECT_EQ(macros->ImportMacro(macroFile.c_str(), m.Out()), kErrFull);
  ComRef<IDeviceApplication> a;
  EXPECT_EQ(apps->CreateApplication(a.Out()), kErrFull);
  ASSERT_EQ(macros->GetMacro(1, m.Out()), S_OK);
  auto* one = static_cast<DeviceMacroBlob*>(CoTaskMemAlloc(24));
  std::memset(one, 0, 24);
  one->count = 1;
  one->events[0] = {3, 1};
  EXPECT_EQ(m->SetEvents(one), kErrFull) << "no event beyond the total";
  CoTaskMemFree(one);
  m.Reset();
  big.Reset();

  Restart();
  EXPECT_EQ(m_core->StartNotice().rfind(L"state read", 0), 0u) << std::string(m_core->StartNotice().begin(),
                                                                            m_core->StartNotice().end());
  EXPECT_EQ(m_core->State().profiles.size(), kMaxSimProfiles);
  EXPECT_EQ(m_core->State().macros.size(), kMaxSimMacros);
  EXPECT_EQ(m_core->State().apps.size(), kMaxSimApps);
  EXPECT_EQ(m_core->TotalEvents(), kMaxSimEventsTotal);
  EXPECT_TRUE(m_core->State().profiles.back().name == longest);
  EXPECT_TRUE(m_core->State().apps.back().path == longest);
}

TEST(ServiceLog, IsMovedAsideWheneverItPassesItsLimit) {
  platform::ComApartment com;
  ASSERT_TRUE(SUCCEEDED(com.Initialize(COINIT_APARTMENTTHREADED)));
  {
    const std::wstring folder = NewTempFolder();
    CServiceCore::Options options;
    options.logFile = folder + L"DeviceService.log";
    options.keyboard = SimKeyboardKeys();
    options.logLimitBytes = 2000;
    auto core = CServiceCore::Create(options);
    for (int i = 0; i < 200; ++i) core->Log(L"line " + std::to_wstring(i) + L" of a service that stays resident");
    const std::string current = ReadWholeFile(options.logFile);
    const std::string old = ReadWholeFile(options.logFile + L".old");
    EXPECT_LE(current.size(), 2000u);
    EXPECT_GT(old.size(), 2000u) << "moved aside once past the limit";
    EXPECT_LT(old.size(), 2200u);
    EXPECT_NE(current.find("line 199 "), std::string::npos);
  }
}

// As the configurator's write thread does: a worker calls the objects it was given.
TEST(InProcessDeviceService, ChangesFromAWorkerThreadAreWrittenAfterTheDelay) {
  platform::ComApartment com;
  ASSERT_TRUE(SUCCEEDED(com.Initialize(COINIT_APARTMENTTHREADED)));
  {
    const std::wstring stateFile = NewTempFolder() + L"state";
    CInProcessDeviceService service(stateFile);
    ASSERT_TRUE(service.Registered());
    ServiceSession session;
    ASSERT_EQ(session.Open(), S_OK);
    ComRef<IProfileManager> pm;
    ASSERT_EQ(session.Feature(pm), S_OK);
    ComRef<IDeviceProfile> p;
    ASSERT_EQ(pm->GetProfile(0, p.Out()), S_OK);
    HRESULT hr = E_FAIL;
    std::thread worker([&] { hr = p->SetName(L"From the worker"); });
    worker.join();
    EXPECT_EQ(hr, S_OK);
    EXPECT_TRUE(PumpUntil([&] { return !service.Core().Dirty(); }));
    EXPECT_NE(ReadWholeFile(stateFile).find("From the worker"), std::string::npos);
  }
}

}  // namespace
