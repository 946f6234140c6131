#include "service/ServiceCore.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "platform/Handles.h"
#include "platform/Strings.h"

namespace {

constexpr UINT kPostedEventMessage = WM_APP + 1;
constexpr UINT kArmFlushMessage = WM_APP + 2;
constexpr UINT_PTR kFlushTimer = 1;
constexpr size_t kMaxCallLog = 100000;
constexpr DWORD kMaxFileBytes = kMaxStateFileBytes;
const wchar_t kWindowClass[] = L"OvrixDeviceServiceCore";

std::wstring Hr(HRESULT hr) {
  wchar_t buf[16];
  swprintf(buf, 16, L"0x%08lX", static_cast<unsigned long>(hr));
  return buf;
}

std::wstring Timestamp() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  wchar_t buf[40];
  swprintf(buf, 40, L"%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
           t.wSecond, t.wMilliseconds);
  return buf;
}

GUID PayloadGuid(const DeviceKeyAssignment& r, size_t offset) {
  GUID g;
  std::memcpy(&g, r.payload + offset, sizeof(g));
  return g;
}

void SetPayloadGuid(DeviceKeyAssignment& r, size_t offset, const GUID& g) {
  std::memcpy(r.payload + offset, &g, sizeof(g));
}

int32_t PayloadInt(const DeviceKeyAssignment& r, size_t offset) {
  int32_t v;
  std::memcpy(&v, r.payload + offset, sizeof(v));
  return v;
}

}  // namespace

const IID& EventIid(EventSource source) {
  switch (source) {
    case EventSource::Profile: return __uuidof(_IProfileManagerEvents);
    case EventSource::Recording: return __uuidof(_IOTFMacroRecordingEvents);
    case EventSource::Application: return __uuidof(_IApplicationEvent);
    case EventSource::Dpi: return __uuidof(_IDPIEvents);
  }
  return IID_NULL;
}

bool IsRpcFailure(HRESULT hr) {
  if (HRESULT_FACILITY(hr) == FACILITY_RPC) return true;
  if (hr == CO_E_OBJNOTCONNECTED) return true;
  const DWORD code = HRESULT_CODE(hr);
  return HRESULT_FACILITY(hr) == FACILITY_WIN32 && code >= 1700 && code <= 1999;  // RPC_S_*
}

std::shared_ptr<CServiceCore> CServiceCore::Create(Options options) {
  std::shared_ptr<CServiceCore> core(new CServiceCore(std::move(options)));
  core->Load();
  return core;
}

CServiceCore::CServiceCore(Options options) : m_options(std::move(options)) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kWindowClass;
  RegisterClassW(&wc);  // fails harmlessly when a second core registers it again
  m_window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  if (m_window) SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

CServiceCore::~CServiceCore() {
  Flush();
  if (m_window) {
    SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
    DestroyWindow(m_window);
  }
  for (auto& list : m_sinks) list.clear();
}

LRESULT CALLBACK CServiceCore::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* core = reinterpret_cast<CServiceCore*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (core && msg == kPostedEventMessage) {
    core->DispatchPending();
    return 0;
  }
  if (core && msg == kArmFlushMessage) {
    SetTimer(hwnd, kFlushTimer, core->m_options.flushDelayMs, nullptr);
    return 0;
  }
  if (core && msg == WM_TIMER && wp == kFlushTimer) {
    core->Flush();
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// ---- seams

HRESULT CServiceCore::Enter(const wchar_t* method, bool needsDevice) {
  if (m_callLog.size() >= kMaxCallLog) m_callLog.pop_front();
  m_callLog.emplace_back(method);
  if (!m_faults.empty()) {
    auto it = m_faults.find(method);
    if (it == m_faults.end()) {
      const wchar_t* bare = wcsstr(method, L"::");
      if (bare) it = m_faults.find(bare + 2);
    }
    if (it != m_faults.end() && it->second.onCall != 0) {
      if (++it->second.seen == it->second.onCall) {
        const HRESULT status = it->second.status;
        m_faults.erase(it);
        Log(L"injected failure " + Hr(status) + L" in " + method);
        return status;
      }
    } else if (it != m_faults.end()) {
      if (it->second.delayMs) Sleep(it->second.delayMs);
      if (FAILED(it->second.status)) {
        Log(L"injected failure " + Hr(it->second.status) + L" in " + method);
        return it->second.status;
      }
    }
  }
  if (needsDevice && !m_plugged) return kErrUnplugged;
  return S_OK;
}

void CServiceCore::SetFault(const std::wstring& method, HRESULT status, DWORD delayMs) {
  if (SUCCEEDED(status) && delayMs == 0)
    m_faults.erase(method);
  else
    m_faults[method] = Fault{status, delayMs};
  Log(L"fault set: " + method + L" status " + Hr(status) + L" delay " + std::to_wstring(delayMs) + L" ms");
}

void CServiceCore::SetFaultOnCall(const std::wstring& method, HRESULT status, DWORD call) {
  if (SUCCEEDED(status) || call == 0) {
    m_faults.erase(method);
  } else {
    Fault fault;
    fault.status = status;
    fault.onCall = call;
    m_faults[method] = fault;
  }
  Log(L"fault set: " + method + L" status " + Hr(status) + L" on call " + std::to_wstring(call));
}

void CServiceCore::ClearFaults() { m_faults.clear(); }

std::vector<std::wstring> CServiceCore::CallLog() const { return {m_callLog.begin(), m_callLog.end()}; }

void CServiceCore::ClearCallLog() { m_callLog.clear(); }

void CServiceCore::SetPlugged(bool plugged) {
  if (m_plugged != plugged) Log(plugged ? L"keyboard plugged in" : L"keyboard unplugged");
  m_plugged = plugged;
}

void CServiceCore::SetMode(int mode) {
  m_mode = mode;
  Log(L"remapping mode " + std::to_wstring(mode));
}

// ---- state

SimProfile* CServiceCore::FindProfile(const GUID& id) {
  if (IsZeroId(id)) return nullptr;
  for (auto& p : m_state.profiles)
    if (SameGuid(p.id, id)) return &p;
  return nullptr;
}

SimMacro* CServiceCore::FindMacro(const GUID& id) {
  if (IsZeroId(id)) return nullptr;
  for (auto& m : m_state.macros)
    if (SameGuid(m.id, id)) return &m;
  return nullptr;
}

SimApp* CServiceCore::FindApp(const GUID& id) {
  if (IsZeroId(id)) return nullptr;
  for (auto& a : m_state.apps)
    if (SameGuid(a.id, id)) return &a;
  return nullptr;
}

GUID CServiceCore::NewId() {
  GUID id{};
  while (FAILED(CoCreateGuid(&id)) || IsZeroId(id)) {
  }
  return id;
}

HRESULT CServiceCore::CheckRoom(const wchar_t* what, size_t profiles, size_t macros, size_t apps,
                                size_t addedEvents, size_t removedEvents) {
  const size_t events = TotalEvents() - std::min(removedEvents, TotalEvents());
  const bool fits = m_state.profiles.size() + profiles <= kMaxSimProfiles &&
                    m_state.macros.size() + macros <= kMaxSimMacros && m_state.apps.size() + apps <= kMaxSimApps &&
                    addedEvents <= kMaxSimEventsTotal - events;
  if (fits) return S_OK;
  Log(std::wstring(L"refused: ") + what + L": the keyboard holds as much as it can");
  return kErrFull;
}

size_t CServiceCore::TotalEvents() const {
  size_t total = 0;
  for (const auto& m : m_state.macros) total += m.events.size();
  return total;
}

void CServiceCore::Changed() {
  m_dirty = true;
  if (!m_timerArmed && m_window) {
    // A timer belongs to its window's thread; a call on another thread (an
    // in-process host's worker) asks that thread to arm it.
    if (GetWindowThreadProcessId(m_window, nullptr) == GetCurrentThreadId())
      SetTimer(m_window, kFlushTimer, m_options.flushDelayMs, nullptr);
    else
      PostMessageW(m_window, kArmFlushMessage, 0, 0);
    m_timerArmed = true;
  }
}

void CServiceCore::OperationStarted() { ++m_operations; }

void CServiceCore::OperationEnded() {
  if (m_operations > 0) --m_operations;
  Flush();
}

bool CServiceCore::Flush() {
  if (!m_dirty) return true;
  if (m_options.stateFile.empty()) {
    m_dirty = false;
  } else {
    std::wstring error;
    if (!WriteFileAtomically(m_options.stateFile, WriteSimDocument(SimDocKind::State, m_state), error)) {
      Log(L"state not written: " + error);
      return false;  // the timer stays armed and tries again
    }
    m_dirty = false;
  }
  if (m_timerArmed && m_window) KillTimer(m_window, kFlushTimer);
  m_timerArmed = false;
  return true;
}

bool CServiceCore::ReadFileText(const std::wstring& path, std::string& text, std::wstring& error) const {
  const platform::KernelHandle h(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) {
    error = L"cannot open (error " + std::to_wstring(GetLastError()) + L")";
    return false;
  }
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(h.Get(), &size) && size.QuadPart <= kMaxFileBytes;
  if (!ok) error = L"too large or unreadable";
  if (ok) {
    text.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    ok = text.empty() ||
         (ReadFile(h.Get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr) && read == text.size());
    if (!ok) error = L"read failed";
  }
  return ok;
}

bool CServiceCore::WriteFileAtomically(const std::wstring& path, const std::string& text,
                                       std::wstring& error) const {
  const std::wstring tmp = path + L".tmp";
  platform::KernelHandle h(
      CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) {
    error = L"cannot create " + tmp + L" (error " + std::to_wstring(GetLastError()) + L")";
    return false;
  }
  DWORD written = 0;
  bool ok = WriteFile(h.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
            written == text.size() && FlushFileBuffers(h.Get());
  h.Close();  // before the move
  if (ok) ok = MoveFileExW(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) {
    error = L"cannot write " + path + L" (error " + std::to_wstring(GetLastError()) + L")";
    DeleteFileW(tmp.c_str());
  }
  return ok;
}

void CServiceCore::Load() {
  // The log is kept short: a long one is moved aside at start (and by Log as it grows).
  WIN32_FILE_ATTRIBUTE_DATA logInfo;
  if (!m_options.logFile.empty() &&
      GetFileAttributesExW(m_options.logFile.c_str(), GetFileExInfoStandard, &logInfo) &&
      (logInfo.nFileSizeHigh != 0 || logInfo.nFileSizeLow > m_options.logLimitBytes))
    MoveAsideLog();
  auto factory = [&] {
    m_state = FactoryState(m_options.keyboard, NewId());
    Changed();
  };
  if (m_options.stateFile.empty()) {
    factory();
    m_startNotice = L"factory state (not persisted)";
  } else if (GetFileAttributesW(m_options.stateFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
    factory();
    m_startNotice = L"no state file; factory state";
  } else {
    std::string text;
    std::wstring error;
    ServiceState loaded;
    if (ReadFileText(m_options.stateFile, text, error) && ReadSimDocument(SimDocKind::State, text, loaded, error)) {
      m_state = std::move(loaded);
      for (auto& p : m_state.profiles) FitProfileToKeyboard(p, m_options.keyboard);
      if (!FindProfile(m_state.active)) m_state.active = m_state.profiles.empty() ? GUID{} : m_state.profiles[0].id;
      m_startNotice = L"state read from " + m_options.stateFile;
    } else {
      SYSTEMTIME t;
      GetLocalTime(&t);
      wchar_t suffix[64];
      swprintf(suffix, 64, L".bad-%04u%02u%02u-%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
               t.wSecond);
      const std::wstring aside = m_options.stateFile + suffix;
      MoveFileExW(m_options.stateFile.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING);
      factory();
      m_startNotice = L"state file unreadable (" + error + L"); kept aside as " + aside + L"; factory state";
    }
  }
  Log(L"start: " + m_startNotice);
}

// ---- operations

HRESULT CServiceCore::ActivateProfile(const GUID& id) {
  if (!FindProfile(id)) return kErrNotFound;
  m_state.active = id;
  Changed();
  Log(L"active profile " + GuidText(id));
  RaiseProfileChanged(id);
  return S_OK;
}

HRESULT CServiceCore::DeleteProfile(const GUID& id) {
  auto& list = m_state.profiles;
  for (size_t i = 0; i < list.size(); ++i) {
    if (!SameGuid(list[i].id, id)) continue;
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
    Changed();
    Log(L"profile deleted " + GuidText(id));
    if (SameGuid(m_state.active, id)) {
      // The keyboard always plays some profile while it has one.
      if (list.empty()) {
        m_state.active = GUID{};
      } else {
        ActivateProfile(list[0].id);
      }
    }
    return S_OK;
  }
  return kErrNotFound;
}

HRESULT CServiceCore::PressKey(DWORD keyCode) {
  SimProfile* profile = FindProfile(m_state.active);
  if (!m_plugged) return kErrUnplugged;
  if (!profile) return S_FALSE;
  if (m_mode == 2) {
    Log(L"key 0x" + std::to_wstring(keyCode) + L" pressed while remapping is suspended");
    return S_FALSE;
  }
  const DeviceKeyAssignment* record = nullptr;
  for (const auto& r : profile->keys)
    if (r.keyCode == keyCode) record = &r;
  if (!record) return kErrNotFound;
  if (record->type == 3) {
    const int32_t sub = PayloadInt(*record, 0);
    auto& list = m_state.profiles;
    size_t at = 0;
    while (at < list.size() && !SameGuid(list[at].id, profile->id)) ++at;
    if (sub == 3) {
      const GUID target = PayloadGuid(*record, 4);
      return FindProfile(target) ? ActivateProfile(target) : S_FALSE;
    }
    if ((sub == 1 || sub == 2) && list.size() > 1) {
      const size_t next = sub == 2 ? (at + 1) % list.size() : (at + list.size() - 1) % list.size();
      return ActivateProfile(list[next].id);
    }
    return S_FALSE;
  }
  if (record->type == 9) {
    const SimApp* app = FindApp(PayloadGuid(*record, 0));
    if (!app) return S_FALSE;
    RaiseApplication(1, app->path);
    return S_OK;
  }
  if (record->type == 8) {
    const SimMacro* macro = FindMacro(PayloadGuid(*record, 0));
    if (macro) Log(L"key plays macro \"" + macro->name + L"\"");
    return macro ? S_OK : S_FALSE;
  }
  return S_FALSE;
}

void CServiceCore::ResetToFactory() {
  m_state = FactoryState(m_options.keyboard, NewId());
  m_mode = 1;
  Changed();
  Log(L"reset to the factory state");
  RaiseProfileChanged(m_state.active);
}

HRESULT CServiceCore::ExportProfileFile(const GUID& id, const std::wstring& path) {
  const SimProfile* profile = FindProfile(id);
  if (!profile) return kErrNotFound;
  // The file carries the macros and programs its keys refer to, so it restores the
  // profile on a keyboard that does not hold them.
  ServiceState doc;
  doc.profiles.push_back(*profile);
  std::set<std::wstring> seenMacros, seenApps;
  for (const auto& r : profile->keys) {
    if (r.type == 8) {
      const SimMacro* m = FindMacro(PayloadGuid(r, 0));
      if (m && seenMacros.insert(GuidText(m->id)).second) doc.macros.push_back(*m);
    } else if (r.type == 9) {
      const SimApp* a = FindApp(PayloadGuid(r, 0));
      if (a && seenApps.insert(GuidText(a->id)).second) doc.apps.push_back(*a);
    }
  }
  std::wstring error;
  if (!WriteFileAtomically(path, WriteSimDocument(SimDocKind::ProfileFile, doc), error)) {
    Log(L"export failed: " + error);
    return E_FAIL;
  }
  Log(L"profile " + GuidText(id) + L" exported to " + path);
  return S_OK;
}

HRESULT CServiceCore::ImportProfileFile(const std::wstring& path, GUID& newId) {
  std::string text;
  std::wstring error;
  ServiceState doc;
  if (!ReadFileText(path, text, error)) {
    Log(L"profile import refused: " + path + L": " + error);
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  }
  if (!ReadSimDocument(SimDocKind::ProfileFile, text, doc, error)) {
    Log(L"profile import refused: " + path + L": " + error);
    return kErrBadFormat;
  }
  size_t newMacros = 0, newEvents = 0, newApps = 0;
  for (const auto& m : doc.macros)
    if (!FindMacro(m.id)) {
      ++newMacros;
      newEvents += m.events.size();
    }
  for (const auto& a : doc.apps) {
    bool known = FindApp(a.id) != nullptr;
    for (size_t i = 0; !known && i < m_state.apps.size(); ++i) known = platform::EqualsNoCase(m_state.apps[i].path, a.path);
    if (!known) ++newApps;
  }
  if (const HRESULT room = CheckRoom(L"profile import", 1, newMacros, newApps, newEvents); FAILED(room)) return room;
  // Everything is read and checked; from here on the import cannot fail.
  std::map<std::wstring, GUID> macroIds, appIds;
  for (const auto& m : doc.macros) {
    if (FindMacro(m.id)) {
      macroIds[GuidText(m.id)] = m.id;
      continue;
    }
    SimMacro copy = m;
    copy.id = NewId();
    macroIds[GuidText(m.id)] = copy.id;
    m_state.macros.push_back(std::move(copy));
  }
  for (const auto& a : doc.apps) {
    GUID id = a.id;
    if (!FindApp(id)) {
      bool found = false;
      for (const auto& existing : m_state.apps)
        if (platform::EqualsNoCase(existing.path, a.path)) {
          id = existing.id;
          found = true;
          break;
        }
      if (!found) {
        SimApp copy = a;
        copy.id = id = NewId();
        m_state.apps.push_back(std::move(copy));
      }
    }
    appIds[GuidText(a.id)] = id;
  }
  SimProfile profile = doc.profiles[0];
  profile.id = NewId();
  for (auto& r : profile.keys) {
    if (r.type == 8 || r.type == 9) {
      auto& ids = r.type == 8 ? macroIds : appIds;
      auto it = ids.find(GuidText(PayloadGuid(r, 0)));
      if (it != ids.end()) SetPayloadGuid(r, 0, it->second);
    }
  }
  FitProfileToKeyboard(profile, m_options.keyboard);
  newId = profile.id;
  m_state.profiles.push_back(std::move(profile));
  if (IsZeroId(m_state.active)) m_state.active = newId;
  Changed();
  Log(L"profile imported from " + path + L" as " + GuidText(newId));
  return S_OK;
}

HRESULT CServiceCore::ExportMacroFile(const GUID& id, const std::wstring& path) {
  const SimMacro* macro = FindMacro(id);
  if (!macro) return kErrNotFound;
  ServiceState doc;
  doc.macros.push_back(*macro);
  std::wstring error;
  if (!WriteFileAtomically(path, WriteSimDocument(SimDocKind::MacroFile, doc), error)) {
    Log(L"export failed: " + error);
    return E_FAIL;
  }
  Log(L"macro " + GuidText(id) + L" exported to " + path);
  return S_OK;
}

HRESULT CServiceCore::ImportMacroFile(const std::wstring& path, GUID& newId) {
  std::string text;
  std::wstring error;
  ServiceState doc;
  if (!ReadFileText(path, text, error)) {
    Log(L"macro import refused: " + path + L": " + error);
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  }
  if (!ReadSimDocument(SimDocKind::MacroFile, text, doc, error)) {
    Log(L"macro import refused: " + path + L": " + error);
    return kErrBadFormat;
  }
  if (const HRESULT room = CheckRoom(L"macro import", 0, 1, 0, doc.macros[0].events.size()); FAILED(room))
    return room;
  SimMacro macro = doc.macros[0];
  macro.id = newId = NewId();
  m_state.macros.push_back(std::move(macro));
  Changed();
  Log(L"macro imported from " + path + L" as " + GuidText(newId));
  return S_OK;
}

// ---- events

DWORD CServiceCore::AddSink(EventSource source, IUnknown* sink) {
  if (!sink) return 0;
  platform::ComRef<IUnknown> events;
  if (FAILED(sink->QueryInterface(EventIid(source), events.OutVoid())) || !events) return 0;
  const DWORD cookie = m_nextCookie++;
  m_sinks[static_cast<int>(source)].push_back(Sink{cookie, std::move(events)});
  Log(L"sink " + std::to_wstring(cookie) + L" connected");
  return cookie;
}

bool CServiceCore::RemoveSink(EventSource source, DWORD cookie) {
  auto& list = m_sinks[static_cast<int>(source)];
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].cookie != cookie) continue;
    platform::ComRef<IUnknown> sink = std::move(list[i].sink);
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
    sink.Reset();
    Log(L"sink " + std::to_wstring(cookie) + L" disconnected");
    return true;
  }
  return false;
}

size_t CServiceCore::SinkCount(EventSource source) const { return m_sinks[static_cast<int>(source)].size(); }

void CServiceCore::Post(std::function<void()> event) {
  {
    std::lock_guard<std::mutex> lock(m_pendingLock);
    m_pending.push_back(std::move(event));
  }
  if (m_window) PostMessageW(m_window, kPostedEventMessage, 0, 0);
}

void CServiceCore::DispatchPending() {
  for (;;) {
    std::function<void()> event;
    {
      std::lock_guard<std::mutex> lock(m_pendingLock);
      if (m_pending.empty()) return;
      event = std::move(m_pending.front());
      m_pending.pop_front();
    }
    event();
  }
}

void CServiceCore::Fire(EventSource source, const std::function<HRESULT(IUnknown*)>& call, const wchar_t* name) {
  // A copy: a sink may connect or disconnect re-entrantly while it is called.
  std::vector<Sink> targets;
  for (const Sink& s : m_sinks[static_cast<int>(source)])
    targets.push_back(Sink{s.cookie, platform::ComRef<IUnknown>::Copy(s.sink.Get())});
  for (auto& t : targets) {
    const HRESULT hr = call(t.sink.Get());
    if (IsRpcFailure(hr)) {
      Log(std::wstring(L"event ") + name + L": sink " + std::to_wstring(t.cookie) + L" unreachable (" + Hr(hr) +
          L"); dropped");
      RemoveSink(source, t.cookie);
    }
  }
}

void CServiceCore::RaiseProfileChanged(const GUID& id) {
  Post([this, id] {
    Log(L"event OnActiveProfileChanged " + GuidText(id));
    Fire(EventSource::Profile,
         [&](IUnknown* s) { return static_cast<_IProfileManagerEvents*>(s)->OnActiveProfileChanged(&id); },
         L"OnActiveProfileChanged");
  });
}

void CServiceCore::RaiseRecording(int step, DWORD keyCode) {
  Post([this, step, keyCode] {
    static const wchar_t* names[] = {L"", L"OnRecordingStarted", L"OnRecordingStopped", L"OnRecordingFinished",
                                     L"OnRecordingCancelled"};
    if (step < 1 || step > 4) return;
    Log(std::wstring(L"event ") + names[step]);
    Fire(EventSource::Recording,
         [&](IUnknown* u) {
           auto* s = static_cast<_IOTFMacroRecordingEvents*>(u);
           switch (step) {
             case 1: return s->OnRecordingStarted();
             case 2: return s->OnRecordingStopped();
             case 3: return s->OnRecordingFinished(0, static_cast<int>(keyCode));
             default: return s->OnRecordingCancelled();
           }
         },
         names[step]);
  });
}

void CServiceCore::RaiseApplication(int kind, const std::wstring& path) {
  Post([this, kind, path] {
    Log(L"event OnApplicationEvent " + std::to_wstring(kind) + L" \"" + path + L"\"");
    Fire(EventSource::Application,
         [&](IUnknown* s) { return static_cast<_IApplicationEvent*>(s)->OnApplicationEvent(kind, path.c_str()); },
         L"OnApplicationEvent");
  });
}

// ---- log and shutdown

void CServiceCore::Log(const std::wstring& line) {
  if (m_options.logFile.empty()) return;
  platform::KernelHandle h(CreateFileW(m_options.logFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) return;
  const std::string text = platform::WideToUtf8(Timestamp() + L" " + line + L"\r\n");
  DWORD written = 0;
  WriteFile(h.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  LARGE_INTEGER size{};
  const bool full = GetFileSizeEx(h.Get(), &size) && size.QuadPart > m_options.logLimitBytes;
  h.Close();  // before the log is moved aside
  // The service stays resident for days: the log is kept short while it runs, not
  // only at start.
  if (full) MoveAsideLog();
}

void CServiceCore::MoveAsideLog() const {
  MoveFileExW(m_options.logFile.c_str(), (m_options.logFile + L".old").c_str(), MOVEFILE_REPLACE_EXISTING);
}

void CServiceCore::RequestShutdown() {
  Log(L"stop requested");
  Flush();
  if (m_shutdown) m_shutdown();
}
