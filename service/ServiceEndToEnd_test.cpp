// The real DeviceService.exe with two client processes (this one and
// service_test_client.exe), through the proxy/stub DLL. Runs alone: it stops the
// resident service, runs one on a data folder of its own, and puts the resident
// one back at the end.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "platform/Com.h"
#include "platform/Strings.h"
#include "service/ServiceCalls.h"
#include "service/ServiceLauncher.h"
#include "service/ServiceState.h"
#include "service/ServiceTestSupport.h"

namespace {

const std::wstring kServiceExe = DosPath(SERVICE_EXE);
const std::wstring kClientExe = DosPath(CLIENT_EXE);
const std::wstring kControlExe = DosPath(CONTROL_EXE);

class ServiceEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    m_com.Initialize(COINIT_APARTMENTTHREADED);
    m_residentWasRunning = IsServiceRunning();
    ASSERT_TRUE(StopService());
    m_folder = NewDataFolder(L"ovrix-e2e-");
    ASSERT_TRUE(StartService(kServiceExe, m_folder));
  }
  static void TearDownTestSuite() {
    StopService();
    if (m_residentWasRunning) StartService(kServiceExe, L"");
    m_com.Uninitialize();
  }
  void SetUp() override {
    ComRef<IDeviceServiceControl> control;
    ASSERT_TRUE(SUCCEEDED(Control(control)));
    control->ResetToFactory();
    ASSERT_TRUE(SUCCEEDED(m_session.Open()));
  }
  void TearDown() override {
    m_session.Close();
    // The service may still hold the sink: cut it off before the sink is destroyed.
    CoDisconnectObject(static_cast<_IProfileManagerEvents*>(&m_sink), 0);
  }

  static HRESULT Control(ComRef<IDeviceServiceControl>& out) {
    return CoCreateInstance(CLSID_DeviceServiceControl, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IDeviceServiceControl),
                            out.OutVoid());
  }
  static std::wstring Dump() {
    ComRef<IDeviceServiceControl> control;
    BSTR text = nullptr;
    if (FAILED(Control(control)) || FAILED(control->DumpState(&text))) return L"<no dump>";
    std::wstring s(text, SysStringLen(text));
    SysFreeString(text);
    return s;
  }
  DWORD Client(const std::wstring& args) {
    DWORD code = 99;
    EXPECT_TRUE(RunProgram(L"\"" + kClientExe + L"\" " + args, &code));
    return code;
  }

  static inline platform::ComApartment m_com;
  static inline std::wstring m_folder;
  static inline bool m_residentWasRunning = false;
  ServiceSession m_session;
  CTestSink m_sink;
};

TEST_F(ServiceEndToEnd, TwoClientsShareStateAndActivationEventsReachTheOtherClientsThread) {
  ComRef<IProfileManager> pm;
  ASSERT_EQ(m_session.Feature(pm), S_OK);
  const DWORD cookie = AdviseOn(pm.Get(), __uuidof(_IProfileManagerEvents), static_cast<_IProfileManagerEvents*>(&m_sink));
  ASSERT_NE(cookie, 0u);

  // Written by the other process, read here.
  const std::wstring idFile = m_folder + L"id.txt";
  ASSERT_EQ(Client(L"create-profile \"From B\" \"" + idFile + L"\""), 0u);
  GUID idB{};
  ASSERT_TRUE(ParseGuid(ReadWholeFile(idFile), idB));
  ComRef<IDeviceProfile> p;
  ASSERT_EQ(pm->GetProfileById(idB, p.Out()), S_OK);
  EXPECT_EQ(NameOf(p.Get()), L"From B");

  // Written here, read by the other process.
  ComRef<IDeviceProfile> first;
  ASSERT_EQ(pm->GetProfile(0, first.Out()), S_OK);
  ASSERT_EQ(first->SetName(L"Written by A"), S_OK);
  const std::wstring nameFile = m_folder + L"name.txt";
  ASSERT_EQ(Client(L"name-of 0 \"" + nameFile + L"\""), 0u);
  EXPECT_EQ(ReadWholeFile(nameFile), "Written by A");

  // The other process activates; the event arrives on this thread's message loop.
  m_sink.calls.clear();
  m_sink.threads.clear();
  m_sink.profiles.clear();
  ASSERT_EQ(Client(L"activate \"From B\""), 0u);
  ASSERT_TRUE(PumpUntil([&] { return !m_sink.profiles.empty(); }));
  EXPECT_TRUE(SameGuid(m_sink.profiles.back(), idB));
  EXPECT_EQ(m_sink.threads.back(), GetCurrentThreadId());
  EXPECT_TRUE(UnadviseOn(pm.Get(), __uuidof(_IProfileManagerEvents), cookie));
}

TEST_F(ServiceEndToEnd, EveryMarshalledFormCrossesTheProcessIntact) {
  DeviceInfo info{};
  ASSERT_EQ(m_session.device->GetInfo(&info), S_OK);
  EXPECT_EQ(info.productId, 0x0C41u);
  ASSERT_NE(info.text, nullptr);
  CoTaskMemFree(info.text);

  ComRef<IProfileManager> pm;
  ASSERT_EQ(m_session.Feature(pm), S_OK);
  ComRef<IDeviceProfile> p;
  ASSERT_EQ(pm->GetActiveProfile(p.Out()), S_OK);
  EXPECT_EQ(NameOf(p.Get()), L"Profile 1");

  ComRef<IProfileProperties> props;
  ASSERT_EQ(p->GetFeature(__uuidof(IProfileProperties), props.OutVoid()), S_OK);
  wchar_t program[128] = L"game.exe";
  ASSERT_EQ(props->SetProperty(kProfilePropertyProgramFile, program, 0, 256, 0), S_OK);
  BYTE buffer[256];
  std::memset(buffer, 0xCC, sizeof(buffer));
  DWORD size = 256;
  ASSERT_EQ(props->GetProperty(kProfilePropertyProgramFile, 0, buffer, 0, &size), S_OK);
  EXPECT_EQ(size, 18u);
  EXPECT_EQ(std::wstring(reinterpret_cast<wchar_t*>(buffer)), L"game.exe");
  WORD flagWrite[2] = {4, 1};
  ASSERT_EQ(props->SetProperty(kProfilePropertyFlags, flagWrite, 0, 4, 0), S_OK);
  WORD flags = 0;
  size = 2;
  ASSERT_EQ(props->GetProperty(kProfilePropertyFlags, 0, &flags, 0, &size), S_OK);
  EXPECT_EQ(flags, 4);

  ComRef<IKeyAssignments> keys;
  ASSERT_EQ(p->GetFeature(__uuidof(IKeyAssignments), keys.OutVoid()), S_OK);
  DeviceAssignmentCount count{};
  ASSERT_EQ(keys->GetCount(&count), S_OK);
  ASSERT_GT(count.count, 10u);
  auto* all = static_cast<DeviceKeyAssignment*>(CoTaskMemAlloc(count.count * sizeof(DeviceKeyAssignment)));
  DWORD n = count.count;
  ASSERT_EQ(keys->GetAssignments(&n, &all), S_OK);
  EXPECT_EQ(n, count.count);
  DeviceKeyAssignment changed = all[4];
  changed.type = 8;
  std::memset(changed.payload, 0, sizeof(changed.payload));
  changed.payload[16] = 4;
  ASSERT_EQ(keys->SetAssignments(1, &changed), S_OK);
  DeviceKeyAssignment few[5];
  std::memset(few, 0xCC, sizeof(few));
  DeviceKeyAssignment* fewPtr = few;
  n = 5;
  ASSERT_EQ(keys->GetAssignments(&n, &fewPtr), S_OK);
  EXPECT_EQ(n, 5u);
  EXPECT_EQ(std::memcmp(&few[4], &changed, sizeof(changed)), 0);
  CoTaskMemFree(all);

  ComRef<IMacroManager> macros;
  ASSERT_EQ(m_session.Feature(macros), S_OK);
  ComRef<IDeviceMacro> m;
  ASSERT_EQ(macros->CreateMacro(m.Out()), S_OK);
  ASSERT_EQ(m->SetName(L"New Macro1"), S_OK);
  auto* blob = static_cast<DeviceMacroBlob*>(CoTaskMemAlloc(16 + 8 * 2));
  std::memset(blob, 0, 16 + 8 * 2);
  blob->count = 2;
  blob->events[0] = {2, 0x1E};
  blob->events[1] = {3, 250};
  ASSERT_EQ(m->SetEvents(blob), S_OK);
  CoTaskMemFree(blob);
  DeviceMacroBlob* back = nullptr;
  ASSERT_EQ(m->GetEvents(&back), S_OK);
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->count, 2);
  EXPECT_EQ(back->events[1].data, 250u);
  CoTaskMemFree(back);
  EXPECT_EQ(NameOf(m.Get()), L"New Macro1");

  ComRef<IDeviceProfile> none;
  EXPECT_LT(pm->GetProfileById(GUID{}, none.Out()), 0);
  EXPECT_LT(pm->GetProfile(5, none.Out()), 0);
}

TEST_F(ServiceEndToEnd, KeyboardActionsFromTheControlToolRaiseEvents) {
  ComRef<IApplicationManager> apps;
  ASSERT_EQ(m_session.Feature(apps), S_OK);
  ComRef<IDeviceApplication> app;
  ASSERT_EQ(apps->CreateApplication(app.Out()), S_OK);
  ASSERT_EQ(app->SetName(L"C:\\Tools\\calc.exe"), S_OK);
  GUID appId{};
  ASSERT_EQ(app->GetId(&appId), S_OK);
  ASSERT_NE(AdviseOn(apps.Get(), __uuidof(_IApplicationEvent), static_cast<_IApplicationEvent*>(&m_sink)), 0u);
  ComRef<IOTFMacroRecording> recording;
  ASSERT_EQ(m_session.Feature(recording), S_OK);
  ASSERT_NE(AdviseOn(recording.Get(), __uuidof(_IOTFMacroRecordingEvents),
                     static_cast<_IOTFMacroRecordingEvents*>(&m_sink)),
            0u);

  ComRef<IProfileManager> pm;
  ASSERT_EQ(m_session.Feature(pm), S_OK);
  ComRef<IDeviceProfile> p;
  ASSERT_EQ(pm->GetActiveProfile(p.Out()), S_OK);
  ComRef<IKeyAssignments> keys;
  ASSERT_EQ(p->GetFeature(__uuidof(IKeyAssignments), keys.OutVoid()), S_OK);
  DeviceKeyAssignment r{};
  r.header = 1;
  r.keyCode = 0x1E;  // A
  r.type = 9;
  std::memcpy(r.payload, &appId, sizeof(appId));
  ASSERT_EQ(keys->SetAssignments(1, &r), S_OK);

  ComRef<IDeviceServiceControl> control;
  ASSERT_EQ(Control(control), S_OK);
  EXPECT_EQ(control->PressKey(0x1E), S_OK);
  EXPECT_EQ(control->Recording(1, 0), S_OK);
  EXPECT_EQ(control->Recording(3, 0x2001D), S_OK);
  ASSERT_TRUE(PumpUntil([&] { return m_sink.calls.size() == 3; }));
  EXPECT_EQ(m_sink.calls[0], L"app 1 C:\\Tools\\calc.exe");
  EXPECT_EQ(m_sink.calls[1], L"started");
  EXPECT_EQ(m_sink.calls[2], L"finished 0 131101");

  EXPECT_EQ(control->SetPlugged(FALSE), S_OK);
  ServiceSession unplugged;
  EXPECT_LT(unplugged.Open(), 0) << "no device while unplugged";
  EXPECT_EQ(control->SetPlugged(TRUE), S_OK);
}

TEST_F(ServiceEndToEnd, TheControlToolDrivesTheSimulatedKeyboard) {
  const std::wstring out = m_folder + L"ctl.txt";
  auto ctl = [&](const std::wstring& args) {
    DWORD code = 99;
    EXPECT_TRUE(RunProgramToFile(L"\"" + kControlExe + L"\" " + args, out, &code)) << args;
    return code;
  };
  EXPECT_EQ(ctl(L"layout 0x409"), 0u);
  EXPECT_EQ(ctl(L"versions 2 7 3 1"), 0u);
  ComRef<IDeviceStatus> status;
  ASSERT_EQ(m_session.device->QueryInterface(__uuidof(IDeviceStatus), status.OutVoid()), S_OK);
  DWORD layout = 0;
  ASSERT_EQ(status->GetValue(&layout), S_OK);
  EXPECT_EQ(layout, 0x409u);
  DeviceInfo info{};
  ASSERT_EQ(m_session.device->GetInfo(&info), S_OK);
  CoTaskMemFree(info.text);
  EXPECT_EQ(info.firmwareMajor, 2u);
  EXPECT_EQ(info.firmwareMinor, 7u);
  EXPECT_EQ(info.secondMajor, 3u);

  EXPECT_EQ(ctl(L"fail IProfileManager::GetProfile 0x80004005"), 0u);
  ComRef<IProfileManager> pm;
  ASSERT_EQ(m_session.Feature(pm), S_OK);
  ComRef<IDeviceProfile> p;
  EXPECT_EQ(pm->GetProfile(0, p.Out()), E_FAIL);
  EXPECT_EQ(ctl(L"clear-faults"), 0u);
  EXPECT_EQ(pm->GetProfile(0, p.Out()), S_OK);
  EXPECT_EQ(ctl(L"fail GetProfile 0x80070005 2"), 0u);
  EXPECT_EQ(pm->GetProfile(0, p.Out()), S_OK);
  EXPECT_EQ(pm->GetProfile(0, p.Out()), E_ACCESSDENIED) << "only the second call";
  EXPECT_EQ(pm->GetProfile(0, p.Out()), S_OK);
  EXPECT_EQ(ctl(L"fail GetProfile 0x80070005 0"), 2u) << "there is no call 0";

  EXPECT_EQ(ctl(L"unplug"), 0u);
  ServiceSession none;
  EXPECT_LT(none.Open(), 0);
  EXPECT_EQ(ctl(L"plug"), 0u);
  EXPECT_EQ(ctl(L"press 0x1E"), 0u);
  EXPECT_NE(ReadWholeFile(out).find("nothing happened"), std::string::npos) << "a key at its default";
  EXPECT_EQ(ctl(L"dump"), 0u);
  EXPECT_NE(ReadWholeFile(out).find("layout=0x409"), std::string::npos);
  EXPECT_EQ(ctl(L"calls"), 0u);
  EXPECT_NE(ReadWholeFile(out).find("IProfileManager::GetProfile"), std::string::npos);
  EXPECT_EQ(ctl(L"no-such-command"), 2u);
}

// The service asked to stop ends even while clients it holds sinks of cannot
// answer: one that ended without disconnecting, one that answers nothing, and
// this thread, which sleeps while it waits.
TEST_F(ServiceEndToEnd, AStopEndsTheServiceWhileClientsHoldingSinksDoNotAnswer) {
  auto advises = [] {
    ComRef<IDeviceServiceControl> control;
    if (FAILED(Control(control))) return 0;
    return static_cast<int>(CallsIn(ReadCallLog(control.Get()), L"IConnectionPoint::Advise"));
  };
  {
    ComRef<IDeviceServiceControl> control;
    ASSERT_TRUE(SUCCEEDED(Control(control)));
    control->ClearCallLog();
  }
  ASSERT_EQ(Client(L"advise-and-exit 0"), 0u);
  ASSERT_TRUE(RunProgram(L"\"" + kClientExe + L"\" advise-and-hang 40000", nullptr, false));
  ComRef<IProfileManager> pm;
  ASSERT_EQ(m_session.Feature(pm), S_OK);
  ASSERT_NE(AdviseOn(pm.Get(), __uuidof(_IProfileManagerEvents), static_cast<_IProfileManagerEvents*>(&m_sink)), 0u);
  ASSERT_TRUE(PumpUntil([&] { return advises() == 3; }));
  pm.Reset();
  m_session.Close();
  {
    ComRef<IDeviceServiceControl> control;
    ASSERT_TRUE(SUCCEEDED(Control(control)));
    control->Shutdown();
  }
  const ULONGLONG start = GetTickCount64();
  EXPECT_TRUE(WaitForServiceExit(20000)) << "the service waited on its clients";
  std::printf("the service ended %llu ms after the stop request\n", GetTickCount64() - start);
  ASSERT_TRUE(StopService());
  ASSERT_TRUE(StartService(kServiceExe, m_folder));
}

TEST_F(ServiceEndToEnd, StateSurvivesARestartAndAnUnreadableStateFileIsKeptAside) {
  ComRef<IProfileManager> pm;
  ASSERT_EQ(m_session.Feature(pm), S_OK);
  ComRef<IDeviceProfile> p;
  ASSERT_EQ(pm->CreateProfile(p.Out()), S_OK);
  ASSERT_EQ(p->SetName(L"Survivor"), S_OK);
  p.Reset();
  pm.Reset();
  m_session.Close();  // the operation ends: durable now
  const std::wstring before = Dump();
  const std::wstring malformed = m_folder + L"malformed.qxp";
  WriteWholeFile(malformed, "OvrixProfileFile\t1\nprofile\tnot a guid\n");
  {
    ServiceSession s;
    ASSERT_EQ(s.Open(), S_OK);
    ComRef<IProfileManager> m;
    ASSERT_EQ(s.Feature(m), S_OK);
    ComRef<IDeviceProfile> imported;
    EXPECT_LT(m->ImportProfile(malformed.c_str(), imported.Out()), 0);
    EXPECT_LT(m->ImportProfile((m_folder + L"absent.qxp").c_str(), imported.Out()), 0);
  }
  EXPECT_EQ(Dump(), before) << "a refused import changes nothing";

  DWORD code = 0;
  ASSERT_TRUE(RunProgram(L"\"" + kServiceExe + L"\"", &code));
  EXPECT_EQ(code, 2u) << "a second start exits at once";

  ASSERT_TRUE(StopService());
  ASSERT_TRUE(StartService(kServiceExe, m_folder));
  EXPECT_EQ(Dump(), before);

  ASSERT_TRUE(StopService());
  WriteWholeFile(m_folder + L"DeviceService.state", "OvrixDeviceServiceState\t1\ndevice\t0\t1");
  ASSERT_TRUE(StartService(kServiceExe, m_folder));
  EXPECT_EQ(Dump().find(L"Survivor"), std::wstring::npos) << "factory state";
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW((m_folder + L"DeviceService.state.bad-*").c_str(), &found);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FindClose(h);
  EXPECT_NE(ReadWholeFile(m_folder + L"DeviceService.log").find("kept aside"), std::string::npos);
  ASSERT_EQ(m_session.Open(), S_OK);
}

}  // namespace
