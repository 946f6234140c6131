#include "tray/EventConnections.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tray/DeviceManager.h"
#include "tray/testing/TrayTestSupport.h"

namespace {

using namespace tray::testing;

class RecordingHandler : public IProfileEventHandler,
                         public IMacroEventHandler,
                         public ILaunchAppEventHandler,
                         public IDpiEventHandler {
 public:
  std::vector<std::wstring> heard;
  void OnProfileChanged(const GUID* id) override { heard.push_back(L"profile " + std::to_wstring(id->Data1)); }
  void OnMacroRecordStart() override { heard.push_back(L"start"); }
  void OnMacroRecordStop() override { heard.push_back(L"stop"); }
  void OnMacroRecordCancel() override { heard.push_back(L"cancel"); }
  void OnMacroRecordFinish(int first, int key) override {
    heard.push_back(L"finish " + std::to_wstring(first) + L" " + std::to_wstring(key));
  }
  void OnLaunchApplication(int kind, const wchar_t* path) override {
    heard.push_back(L"launch " + std::to_wstring(kind) + L" " + path);
  }
  void OnDpiChanged(int x, int y) override { heard.push_back(L"dpi " + std::to_wstring(x) + L" " + std::to_wstring(y)); }
};

class EventConnectionsTest : public InProcessServiceTest {
 protected:
  void SetUp() override {
    InProcessServiceTest::SetUp();
    SetProfiles(Core(), {{L"One"}, {L"Two"}}, 0);
  }
  size_t Sinks(EventSource source) { return Core().SinkCount(source); }

  RecordingHandler handler;
};

TEST_F(EventConnectionsTest, EventsReachTheHandlerUntilTheConnectionEnds) {
  std::unique_ptr<CProfileEventConnection> profile;
  std::unique_ptr<CMacroEventConnection> macro;
  std::unique_ptr<CLaunchAppEventConnection> launch;
  {
    CDeviceManager manager;  // the connections outlive it
    profile = manager.ConnectProfileEvents(&handler);
    macro = manager.ConnectMacroEvents(&handler);
    launch = manager.ConnectLaunchAppEvents(&handler);
  }
  ASSERT_TRUE(profile && macro && launch);
  EXPECT_EQ(Sinks(EventSource::Profile), 1u);
  EXPECT_EQ(Sinks(EventSource::Recording), 1u);
  EXPECT_EQ(Sinks(EventSource::Application), 1u);

  Core().ActivateProfile(TestId(2));
  Core().RaiseRecording(1, 0);
  Core().RaiseRecording(2, 0);
  Core().RaiseRecording(3, 0x1E);
  Core().RaiseRecording(4, 0);
  Core().RaiseApplication(1, L"C:\\probe.exe");
  ASSERT_TRUE(PumpUntil([&] { return handler.heard.size() >= 6; }));
  EXPECT_EQ(handler.heard, (std::vector<std::wstring>{L"profile 2", L"start", L"stop", L"finish 0 30", L"cancel",
                                                      L"launch 1 C:\\probe.exe"}));

  profile.reset();
  macro.reset();
  launch.reset();
  EXPECT_EQ(Sinks(EventSource::Profile), 0u);
  EXPECT_EQ(Sinks(EventSource::Recording), 0u);
  EXPECT_EQ(Sinks(EventSource::Application), 0u);
  handler.heard.clear();
  Core().ActivateProfile(TestId(1));
  Core().RaiseApplication(1, L"C:\\probe.exe");
  PumpUntil([] { return false; }, 100);
  EXPECT_TRUE(handler.heard.empty());
}

TEST_F(EventConnectionsTest, AFailedAdviseGivesNoConnection) {
  Core().SetFault(L"IConnectionPoint::Advise", E_FAIL, 0);
  CDeviceManager manager;
  EXPECT_EQ(manager.ConnectProfileEvents(&handler), nullptr);
  EXPECT_EQ(manager.ConnectMacroEvents(&handler), nullptr);
  EXPECT_EQ(Sinks(EventSource::Profile), 0u);

  // A source without connection points.
  auto* notASource = new CProfileEventSink(nullptr);
  EXPECT_EQ(CProfileEventConnection::Create(notASource, &handler), nullptr);
  EXPECT_EQ(notASource->Release(), 0u);
  EXPECT_EQ(CProfileEventConnection::Create(nullptr, &handler), nullptr);
}

// A source that keeps the sink it was given and calls it from inside Unadvise,
// as a service may while the event is on its way.
class ReentrantSource : public IConnectionPointContainer, public IConnectionPoint {
 public:
  IUnknown* sink = nullptr;
  int refs = 1;
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IConnectionPointContainer)
      *ppv = static_cast<IConnectionPointContainer*>(this);
    else if (riid == IID_IConnectionPoint)
      *ppv = static_cast<IConnectionPoint*>(this);
    else
      return E_NOINTERFACE;
    ++refs;
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  STDMETHODIMP FindConnectionPoint(REFIID, IConnectionPoint** out) override {
    AddRef();
    *out = this;
    return S_OK;
  }
  STDMETHODIMP GetConnectionInterface(IID*) override { return E_NOTIMPL; }
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer**) override { return E_NOTIMPL; }
  STDMETHODIMP Advise(IUnknown* s, DWORD* cookie) override {
    sink = s;
    sink->AddRef();
    *cookie = 5;
    return S_OK;
  }
  STDMETHODIMP Unadvise(DWORD) override {
    Fire();
    return S_OK;
  }
  STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }
  void Fire() {
    platform::ComRef<_IProfileManagerEvents> events;
    if (sink && SUCCEEDED(sink->QueryInterface(__uuidof(_IProfileManagerEvents), events.OutVoid()))) {
      const GUID id = TestId(9);
      events->OnActiveProfileChanged(&id);
    }
  }
};

TEST(EventConnection, EndsWithoutCallingTheHandlerAndLeavesTheSinkToItsHolders) {
  RecordingHandler handler;
  ReentrantSource source;
  {
    auto connection = CProfileEventConnection::Create(static_cast<IConnectionPointContainer*>(&source), &handler);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(connection->Cookie(), 5u);
    source.Fire();
    EXPECT_EQ(handler.heard.size(), 1u);
  }
  // Inside Unadvise the event no longer reached the handler, and the sink still
  // lives for the source that holds it: calling it is safe and does nothing.
  EXPECT_EQ(handler.heard.size(), 1u);
  source.Fire();
  EXPECT_EQ(handler.heard.size(), 1u);
  EXPECT_EQ(source.sink->Release(), 0u);
  EXPECT_EQ(source.refs, 1) << "every reference to the source was released";
}

TEST(EventConnection, SinksIgnoreANullIdOrPathAndAnswerOnlyTheirInterfaces) {
  RecordingHandler handler;
  auto* profile = new CProfileEventSink(&handler);
  EXPECT_EQ(profile->OnActiveProfileChanged(nullptr), S_OK);
  void* other = nullptr;
  EXPECT_EQ(profile->QueryInterface(__uuidof(_IApplicationEvent), &other), E_NOINTERFACE);
  EXPECT_EQ(profile->Release(), 0u);
  auto* launch = new CLaunchAppEventSink(&handler);
  EXPECT_EQ(launch->OnApplicationEvent(1, nullptr), S_OK);
  EXPECT_EQ(launch->Release(), 0u);
  EXPECT_TRUE(handler.heard.empty());
}

}  // namespace
