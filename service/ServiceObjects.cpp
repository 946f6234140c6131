#include "service/ServiceObjects.h"

#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "platform/Com.h"

namespace service {

enum class OwnKind { Profile, Macro, Application };

// Implemented by the service's own profile, macro and program objects and by nothing
// else. No proxy is registered for it, so no foreign object (another server's proxy,
// a client's own object) ever hands it out: asking for it is how the service tells
// its own objects from anything else a client passes, where a cast would read the
// foreign object's memory as if it were one of ours.
class IServiceOwnObject : public IUnknown {
 public:
  virtual OwnKind STDMETHODCALLTYPE Kind() = 0;
  virtual GUID STDMETHODCALLTYPE ObjectId() = 0;
};

}  // namespace service

__CRT_UUID_DECL(service::IServiceOwnObject, 0x2e6b0c4d, 0x8a51, 0x4f0b, 0x9c, 0x3e, 0x7d, 0x1a, 0x5b, 0x6f, 0x4e,
                0x21)

namespace {

using service::IServiceOwnObject;
using service::OwnKind;

// The id of one of the service's own objects of that kind; E_INVALIDARG for anything else.
HRESULT OwnObjectId(IUnknown* object, OwnKind kind, GUID& id) {
  if (!object) return E_INVALIDARG;
  platform::ComRef<IServiceOwnObject> own;
  if (FAILED(object->QueryInterface(__uuidof(IServiceOwnObject), own.OutVoid())) || !own) return E_INVALIDARG;
  const bool match = own->Kind() == kind;
  if (match) id = own->ObjectId();
  return match ? S_OK : E_INVALIDARG;
}

// ---- plumbing

// Reference counting and QueryInterface over the listed interfaces. Every object
// keeps the core alive, so a client that holds an object after the service began to
// stop still reaches valid memory.
template <typename... I>
class CObject : public I... {
 public:
  explicit CObject(std::shared_ptr<CServiceCore> core) : m_core(std::move(core)) {}
  virtual ~CObject() = default;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    using First = std::tuple_element_t<0, std::tuple<I...>>;
    if (riid == IID_IUnknown) {
      *ppv = static_cast<IUnknown*>(static_cast<First*>(this));
    } else {
      (void)((riid == __uuidof(I) ? (*ppv = static_cast<I*>(this), true) : false) || ...);
    }
    if (!*ppv) *ppv = QueryExtra(riid);
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
  }

 protected:
  virtual void* QueryExtra(REFIID) { return nullptr; }
  std::shared_ptr<CServiceCore> m_core;

 private:
  ULONG m_refs = 1;
};

#define ENTER(name)                                     \
  do {                                                  \
    const HRESULT enter_ = m_core->Enter(name);          \
    if (FAILED(enter_)) return enter_;                  \
  } while (0)
#define ENTER_NO_DEVICE(name)                           \
  do {                                                  \
    const HRESULT enter_ = m_core->Enter(name, false);   \
    if (FAILED(enter_)) return enter_;                  \
  } while (0)

// Hands out `object` as `riid` and drops the creation reference.
template <typename T>
HRESULT Give(T* object, REFIID riid, void** ppv) {
  const platform::ComRef<T> created(object);
  return created->QueryInterface(riid, ppv);
}

HRESULT CopyOut(const std::wstring& text, LPWSTR* out) {
  if (!out) return E_POINTER;
  *out = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
  if (!*out) return E_OUTOFMEMORY;
  std::memcpy(*out, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  return S_OK;
}

// A name or path from a client: present and within the service's bound.
HRESULT CheckText(LPCWSTR text) {
  if (!text) return E_POINTER;
  return wcsnlen(text, kMaxSimText + 1) <= kMaxSimText ? S_OK : E_INVALIDARG;
}

// ---- connection points

class CConnectionPoint : public CObject<IConnectionPoint> {
 public:
  CConnectionPoint(std::shared_ptr<CServiceCore> core, EventSource source, IConnectionPointContainer* container)
      : CObject(std::move(core)),
        m_source(source),
        m_container(platform::ComRef<IConnectionPointContainer>::Copy(container)) {}

  STDMETHODIMP GetConnectionInterface(IID* iid) override {
    if (!iid) return E_POINTER;
    // Logged: clients call it to learn whether their connection still reaches the service.
    ENTER_NO_DEVICE(L"IConnectionPoint::GetConnectionInterface");
    *iid = EventIid(m_source);
    return S_OK;
  }
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override {
    if (!out) return E_POINTER;
    m_container->AddRef();
    *out = m_container.Get();
    return S_OK;
  }
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    ENTER_NO_DEVICE(L"IConnectionPoint::Advise");
    if (!sink) return E_POINTER;
    *cookie = m_core->AddSink(m_source, sink);
    return *cookie ? S_OK : CONNECT_E_CANNOTCONNECT;
  }
  STDMETHODIMP Unadvise(DWORD cookie) override {
    ENTER_NO_DEVICE(L"IConnectionPoint::Unadvise");
    return m_core->RemoveSink(m_source, cookie) ? S_OK : CONNECT_E_NOCONNECTION;
  }
  STDMETHODIMP EnumConnections(IEnumConnections** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }

 private:
  EventSource m_source;
  platform::ComRef<IConnectionPointContainer> m_container;
};

// An object that raises one kind of event.
template <EventSource Source, typename... I>
class CEventSource : public CObject<I..., IConnectionPointContainer> {
 public:
  using CObject<I..., IConnectionPointContainer>::CObject;

  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid != EventIid(Source)) return CONNECT_E_NOCONNECTION;
    *out = new CConnectionPoint(this->m_core, Source, this);
    return S_OK;
  }
};

// ---- device features

class CModeObject : public CObject<IDeviceMode> {
 public:
  using CObject::CObject;
  STDMETHODIMP Reserved3() override { return E_NOTIMPL; }
  STDMETHODIMP SetMode(int mode) override {
    ENTER(L"IDeviceMode::SetMode");
    if (mode != 1 && mode != 2) return E_INVALIDARG;
    m_core->SetMode(mode);
    return S_OK;
  }
};

class CRecordingObject : public CEventSource<EventSource::Recording, IOTFMacroRecording> {
 public:
  using CEventSource::CEventSource;
};

class CLedObject : public CObject<ILed, ILedColor, ILedEffect, ILedBrightness> {
 public:
  CLedObject(std::shared_ptr<CServiceCore> core, const GUID& profile, size_t index)
      : CObject(std::move(core)), m_profile(profile), m_index(index) {}

  STDMETHODIMP TurnOn() override { return Change(L"ILed::TurnOn", [](SimLed& l) { l.on = 1; }); }
  STDMETHODIMP TurnOff() override { return Change(L"ILed::TurnOff", [](SimLed& l) { l.on = 0; }); }
  STDMETHODIMP GetState(int* on) override { return Read(L"ILed::GetState", on, &SimLed::on); }
  STDMETHODIMP GetId(int* id) override { return Read(L"ILed::GetId", id, &SimLed::id); }
  STDMETHODIMP SetColor(int color) override {
    return Change(L"ILedColor::SetColor", [=](SimLed& l) { l.color = color; });
  }
  STDMETHODIMP GetColor(int* color) override { return Read(L"ILedColor::GetColor", color, &SimLed::color); }
  STDMETHODIMP SetEffect(int effect, int time1, int time2) override {
    if (effect < 0 || time1 < 0 || time2 < 0) return E_INVALIDARG;
    return Change(L"ILedEffect::SetEffect", [=](SimLed& l) {
      l.effect = effect;
      l.time1 = time1;
      l.time2 = time2;
    });
  }
  STDMETHODIMP GetEffect(int* effect, int* time1, int* time2) override {
    if (!effect || !time1 || !time2) return E_POINTER;
    ENTER(L"ILedEffect::GetEffect");
    SimLed* l = Led();
    if (!l) return kErrNotFound;
    *effect = l->effect;
    *time1 = l->time1;
    *time2 = l->time2;
    return S_OK;
  }
  STDMETHODIMP SetBrightness(int brightness) override {
    if (brightness < 0 || brightness > 100) return E_INVALIDARG;
    return Change(L"ILedBrightness::SetBrightness", [=](SimLed& l) { l.brightness = brightness; });
  }
  STDMETHODIMP GetBrightness(int* brightness) override {
    return Read(L"ILedBrightness::GetBrightness", brightness, &SimLed::brightness);
  }

 private:
  SimLed* Led() {
    SimProfile* p = m_core->FindProfile(m_profile);
    return p && m_index < p->leds.size() ? &p->leds[m_index] : nullptr;
  }
  template <typename F>
  HRESULT Change(const wchar_t* name, F f) {
    ENTER(name);
    SimLed* l = Led();
    if (!l) return kErrNotFound;
    f(*l);
    m_core->Changed();
    return S_OK;
  }
  HRESULT Read(const wchar_t* name, int* out, int32_t SimLed::*field) {
    if (!out) return E_POINTER;
    ENTER(name);
    SimLed* l = Led();
    if (!l) return kErrNotFound;
    *out = l->*field;
    return S_OK;
  }
  GUID m_profile;
  size_t m_index;
};

class CLedManagerObject : public CObject<ILedManager> {
 public:
  CLedManagerObject(std::shared_ptr<CServiceCore> core, const GUID& profile)
      : CObject(std::move(core)), m_profile(profile) {}
  STDMETHODIMP GetLed(int index, ILed** led) override {
    if (!led) return E_POINTER;
    *led = nullptr;
    ENTER(L"ILedManager::GetLed");
    SimProfile* p = m_core->FindProfile(m_profile);
    if (!p) return kErrNotFound;
    if (index < 0 || static_cast<size_t>(index) >= p->leds.size()) return kErrNoMoreItems;
    *led = new CLedObject(m_core, m_profile, static_cast<size_t>(index));
    return S_OK;
  }

 private:
  GUID m_profile;
};

class CDpiObject : public CEventSource<EventSource::Dpi, IDPI> {
 public:
  using CEventSource::CEventSource;
  STDMETHODIMP Reserved3() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved4() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved5() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved6() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved7() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved8() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved9() override { return E_NOTIMPL; }
  // The keyboard has no sensitivity stages: all zero.
  STDMETHODIMP GetDPI(int* x, int* y, int* stage) override {
    if (!x || !y || !stage) return E_POINTER;
    ENTER(L"IDPI::GetDPI");
    *x = *y = *stage = 0;
    return S_OK;
  }
};

class CPropertiesObject : public CObject<IProfileProperties> {
 public:
  CPropertiesObject(std::shared_ptr<CServiceCore> core, const GUID& profile)
      : CObject(std::move(core)), m_profile(profile) {}

  STDMETHODIMP GetProperty(DWORD id, DWORD, void* buffer, DWORD, DWORD* size) override {
    if (!size) return E_POINTER;
    const DWORD capacity = *size;
    *size = 0;
    ENTER(L"IProfileProperties::GetProperty");
    SimProfile* p = m_core->FindProfile(m_profile);
    if (!p) return kErrNotFound;
    if (id == kProfilePropertyProgramFile) {
      const DWORD needed = p->program.empty() ? 0 : static_cast<DWORD>((p->program.size() + 1) * sizeof(wchar_t));
      if (needed > capacity) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
      if (needed && !buffer) return E_POINTER;
      if (needed) std::memcpy(buffer, p->program.c_str(), needed);
      *size = needed;
      return S_OK;
    }
    if (id == kProfilePropertyFlags) {
      if (capacity < sizeof(WORD)) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
      if (!buffer) return E_POINTER;
      const WORD flags = p->flags;
      std::memcpy(buffer, &flags, sizeof(flags));
      *size = sizeof(flags);
      return S_OK;
    }
    return E_INVALIDARG;
  }

  STDMETHODIMP SetProperty(DWORD id, const void* buffer, DWORD, DWORD size, DWORD) override {
    ENTER(L"IProfileProperties::SetProperty");
    SimProfile* p = m_core->FindProfile(m_profile);
    if (!p) return kErrNotFound;
    if (size && !buffer) return E_POINTER;
    if (id == kProfilePropertyProgramFile) {
      if (size > 256) return E_INVALIDARG;
      // Up to the first NUL within the given size; a name that fills the buffer
      // without one is longer than 127 characters and refused.
      std::wstring name;
      const auto* chars = static_cast<const wchar_t*>(buffer);
      for (DWORD i = 0; i < size / sizeof(wchar_t); ++i) {
        wchar_t c;
        std::memcpy(&c, chars + i, sizeof(c));
        if (c == 0) break;
        name += c;
      }
      if (name.size() > kMaxProgramFileChars) {
        m_core->Log(L"refused: program file name longer than 127 characters");
        return E_INVALIDARG;
      }
      p->program = name;
      m_core->Changed();
      return S_OK;
    }
    if (id == kProfilePropertyFlags) {
      if (size != 2 * sizeof(WORD)) return E_INVALIDARG;
      WORD word[2];
      std::memcpy(word, buffer, sizeof(word));
      const WORD mask = word[0], value = word[1];
      if ((mask != 1 && mask != 2 && mask != 4) || value > 1) {
        m_core->Log(L"refused: profile flag write with mask " + std::to_wstring(mask) + L" value " +
                   std::to_wstring(value));
        return E_INVALIDARG;
      }
      p->flags = static_cast<uint16_t>(value ? (p->flags | mask) : (p->flags & ~mask));
      m_core->Changed();
      return S_OK;
    }
    return E_INVALIDARG;
  }

 private:
  GUID m_profile;
};

class CKeysObject : public CObject<IKeyAssignments> {
 public:
  CKeysObject(std::shared_ptr<CServiceCore> core, const GUID& profile) : CObject(std::move(core)), m_profile(profile) {}

  STDMETHODIMP GetCount(DeviceAssignmentCount* count) override {
    if (!count) return E_POINTER;
    ENTER(L"IKeyAssignments::GetCount");
    SimProfile* p = m_core->FindProfile(m_profile);
    if (!p) return kErrNotFound;
    count->reserved = 0;
    count->count = static_cast<DWORD>(p->keys.size());
    return S_OK;
  }

  STDMETHODIMP GetAssignments(DWORD* count, DeviceKeyAssignment** buffer) override {
    if (!count || !buffer) return E_POINTER;
    const DWORD capacity = *count;
    *count = 0;
    if (capacity && !*buffer) return E_POINTER;
    ENTER(L"IKeyAssignments::GetAssignments");
    SimProfile* p = m_core->FindProfile(m_profile);
    if (!p) return kErrNotFound;
    const DWORD n = std::min<DWORD>(capacity, static_cast<DWORD>(p->keys.size()));
    if (n) std::memcpy(*buffer, p->keys.data(), n * sizeof(DeviceKeyAssignment));
    *count = n;
    return S_OK;
  }

  STDMETHODIMP SetAssignments(int count, const DeviceKeyAssignment* records) override {
    ENTER(L"IKeyAssignments::SetAssignments");
    if (count < 0) return E_INVALIDARG;
    if (count && !records) return E_POINTER;
    SimProfile* p = m_core->FindProfile(m_profile);
    if (!p) return kErrNotFound;
    // Checked whole before anything is stored.
    std::vector<size_t> slots;
    for (int i = 0; i < count; ++i) {
      const DeviceKeyAssignment& r = records[i];
      size_t slot = 0;
      while (slot < p->keys.size() && p->keys[slot].keyCode != r.keyCode) ++slot;
      if (slot == p->keys.size() || !IsStorableAssignment(r)) {
        m_core->Log(L"refused: key record for key code " + std::to_wstring(r.keyCode) + L" of type " +
                   std::to_wstring(r.type));
        return E_INVALIDARG;
      }
      slots.push_back(slot);
    }
    for (int i = 0; i < count; ++i) p->keys[slots[static_cast<size_t>(i)]] = records[i];
    if (count) m_core->Changed();
    return S_OK;
  }

 private:
  GUID m_profile;
};

// ---- profiles

class CProfileObject : public CObject<IDeviceProfile, IServiceOwnObject> {
 public:
  CProfileObject(std::shared_ptr<CServiceCore> core, const GUID& id) : CObject(std::move(core)), m_id(id) {}
  OwnKind STDMETHODCALLTYPE Kind() override { return OwnKind::Profile; }
  GUID STDMETHODCALLTYPE ObjectId() override { return m_id; }

  STDMETHODIMP GetFeature(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    ENTER(L"IDeviceProfile::GetFeature");
    if (!m_core->FindProfile(m_id)) return kErrNotFound;
    if (riid == __uuidof(IProfileProperties)) return Give(new CPropertiesObject(m_core, m_id), riid, ppv);
    if (riid == __uuidof(IKeyAssignments)) return Give(new CKeysObject(m_core, m_id), riid, ppv);
    if (riid == __uuidof(ILedManager)) return Give(new CLedManagerObject(m_core, m_id), riid, ppv);
    if (riid == __uuidof(IDPI)) return Give(new CDpiObject(m_core), riid, ppv);
    return E_NOINTERFACE;
  }
  STDMETHODIMP GetId(GUID* id) override {
    if (!id) return E_POINTER;
    ENTER(L"IDeviceProfile::GetId");
    if (!m_core->FindProfile(m_id)) return kErrNotFound;
    *id = m_id;
    return S_OK;
  }
  STDMETHODIMP GetName(LPWSTR* name) override {
    if (!name) return E_POINTER;
    *name = nullptr;
    ENTER(L"IDeviceProfile::GetName");
    SimProfile* p = m_core->FindProfile(m_id);
    return p ? CopyOut(p->name, name) : kErrNotFound;
  }
  STDMETHODIMP SetName(LPCWSTR name) override {
    ENTER(L"IDeviceProfile::SetName");
    if (const HRESULT hr = CheckText(name); FAILED(hr)) return hr;
    SimProfile* p = m_core->FindProfile(m_id);
    if (!p) return kErrNotFound;
    p->name = name;
    m_core->Changed();
    return S_OK;
  }
  STDMETHODIMP Reserved7() override { return E_NOTIMPL; }
  STDMETHODIMP ExportToFile(LPCWSTR path) override {
    ENTER(L"IDeviceProfile::ExportToFile");
    if (!path || !*path) return E_INVALIDARG;
    return m_core->ExportProfileFile(m_id, path);
  }

 private:
  GUID m_id;
};

HRESULT ProfileIdOf(IDeviceProfile* profile, GUID& id) { return OwnObjectId(profile, OwnKind::Profile, id); }

class CProfileManagerObject : public CEventSource<EventSource::Profile, IProfileManager> {
 public:
  using CEventSource::CEventSource;

  STDMETHODIMP GetProfile(int index, IDeviceProfile** profile) override {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    ENTER(L"IProfileManager::GetProfile");
    const auto& list = m_core->State().profiles;
    if (index < 0 || static_cast<size_t>(index) >= list.size()) return kErrNoMoreItems;
    *profile = new CProfileObject(m_core, list[static_cast<size_t>(index)].id);
    return S_OK;
  }
  STDMETHODIMP GetProfileById(GUID id, IDeviceProfile** profile) override {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    ENTER(L"IProfileManager::GetProfileById");
    if (!m_core->FindProfile(id)) return kErrNotFound;
    *profile = new CProfileObject(m_core, id);
    return S_OK;
  }
  STDMETHODIMP SetActiveProfile(IDeviceProfile* profile) override {
    ENTER(L"IProfileManager::SetActiveProfile");
    GUID id{};
    if (!profile || FAILED(ProfileIdOf(profile, id))) return E_INVALIDARG;
    return m_core->ActivateProfile(id);
  }
  STDMETHODIMP GetActiveProfile(IDeviceProfile** profile) override {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    ENTER(L"IProfileManager::GetActiveProfile");
    const GUID active = m_core->State().active;
    if (!m_core->FindProfile(active)) return kErrNotFound;
    *profile = new CProfileObject(m_core, active);
    return S_OK;
  }
  STDMETHODIMP CreateProfile(IDeviceProfile** profile) override {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    ENTER(L"IProfileManager::CreateProfile");
    if (const HRESULT room = m_core->CheckRoom(L"new profile", 1, 0, 0, 0); FAILED(room)) return room;
    const GUID id = m_core->NewId();
    m_core->State().profiles.push_back(NewSimProfile(id, m_core->Keyboard()));
    m_core->Changed();
    m_core->Log(L"profile created " + GuidText(id));
    if (!m_core->FindProfile(m_core->State().active)) m_core->ActivateProfile(id);
    *profile = new CProfileObject(m_core, id);
    return S_OK;
  }
  STDMETHODIMP DeleteProfile(IDeviceProfile* profile) override {
    ENTER(L"IProfileManager::DeleteProfile");
    GUID id{};
    if (!profile || FAILED(ProfileIdOf(profile, id))) return E_INVALIDARG;
    return m_core->DeleteProfile(id);
  }
  STDMETHODIMP Reserved9() override { return E_NOTIMPL; }
  STDMETHODIMP ImportProfile(LPCWSTR path, IDeviceProfile** profile) override {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    ENTER(L"IProfileManager::ImportProfile");
    if (!path || !*path) return E_INVALIDARG;
    GUID id{};
    const HRESULT hr = m_core->ImportProfileFile(path, id);
    if (FAILED(hr)) return hr;
    *profile = new CProfileObject(m_core, id);
    return S_OK;
  }
};

// ---- macros

class CMacroObject : public CObject<IDeviceMacro, IServiceOwnObject> {
 public:
  CMacroObject(std::shared_ptr<CServiceCore> core, const GUID& id) : CObject(std::move(core)), m_id(id) {}
  OwnKind STDMETHODCALLTYPE Kind() override { return OwnKind::Macro; }
  GUID STDMETHODCALLTYPE ObjectId() override { return m_id; }

  STDMETHODIMP GetId(GUID* id) override {
    if (!id) return E_POINTER;
    ENTER(L"IDeviceMacro::GetId");
    if (!m_core->FindMacro(m_id)) return kErrNotFound;
    *id = m_id;
    return S_OK;
  }
  STDMETHODIMP GetName(LPWSTR* name) override {
    if (!name) return E_POINTER;
    *name = nullptr;
    ENTER(L"IDeviceMacro::GetName");
    SimMacro* m = m_core->FindMacro(m_id);
    return m ? CopyOut(m->name, name) : kErrNotFound;
  }
  STDMETHODIMP SetName(LPCWSTR name) override {
    ENTER(L"IDeviceMacro::SetName");
    if (const HRESULT hr = CheckText(name); FAILED(hr)) return hr;
    SimMacro* m = m_core->FindMacro(m_id);
    if (!m) return kErrNotFound;
    m->name = name;
    m_core->Changed();
    return S_OK;
  }
  STDMETHODIMP ExportToFile(LPCWSTR path) override {
    ENTER(L"IDeviceMacro::ExportToFile");
    if (!path || !*path) return E_INVALIDARG;
    return m_core->ExportMacroFile(m_id, path);
  }
  STDMETHODIMP GetEvents(DeviceMacroBlob** blob) override {
    if (!blob) return E_POINTER;
    *blob = nullptr;
    ENTER(L"IDeviceMacro::GetEvents");
    SimMacro* m = m_core->FindMacro(m_id);
    if (!m) return kErrNotFound;
    // Header, the events, and one spare zero record.
    const size_t bytes = sizeof(DeviceMacroBlob) + m->events.size() * sizeof(DeviceMacroEvent);
    auto* b = static_cast<DeviceMacroBlob*>(CoTaskMemAlloc(bytes));
    if (!b) return E_OUTOFMEMORY;
    std::memset(b, 0, bytes);
    b->count = static_cast<LONG>(m->events.size());
    if (!m->events.empty()) std::memcpy(b->events, m->events.data(), m->events.size() * sizeof(DeviceMacroEvent));
    *blob = b;
    return S_OK;
  }
  STDMETHODIMP SetEvents(const DeviceMacroBlob* blob) override {
    ENTER(L"IDeviceMacro::SetEvents");
    if (!blob) return E_POINTER;
    if (blob->count < 0 || static_cast<size_t>(blob->count) > kMaxMacroEvents) return E_INVALIDARG;
    SimMacro* m = m_core->FindMacro(m_id);
    if (!m) return kErrNotFound;
    if (const HRESULT room =
            m_core->CheckRoom(L"macro events", 0, 0, 0, static_cast<size_t>(blob->count), m->events.size());
        FAILED(room))
      return room;
    std::vector<DeviceMacroEvent> events(blob->events, blob->events + blob->count);
    for (const auto& e : events)
      if (!IsStorableMacroEvent(e)) {
        m_core->Log(L"refused: macro event of type " + std::to_wstring(e.type));
        return E_INVALIDARG;
      }
    m->events = std::move(events);
    m_core->Changed();
    return S_OK;
  }

 private:
  GUID m_id;
};

class CMacroManagerObject : public CObject<IMacroManager> {
 public:
  using CObject::CObject;

  STDMETHODIMP GetMacro(int index, IDeviceMacro** macro) override {
    if (!macro) return E_POINTER;
    *macro = nullptr;
    ENTER(L"IMacroManager::GetMacro");
    const auto& list = m_core->State().macros;
    if (index < 0 || static_cast<size_t>(index) >= list.size()) return kErrNoMoreItems;
    *macro = new CMacroObject(m_core, list[static_cast<size_t>(index)].id);
    return S_OK;
  }
  STDMETHODIMP GetMacroById(GUID id, IDeviceMacro** macro) override {
    if (!macro) return E_POINTER;
    *macro = nullptr;
    ENTER(L"IMacroManager::GetMacroById");
    if (!m_core->FindMacro(id)) return kErrNotFound;
    *macro = new CMacroObject(m_core, id);
    return S_OK;
  }
  STDMETHODIMP CreateMacro(IDeviceMacro** macro) override {
    if (!macro) return E_POINTER;
    *macro = nullptr;
    ENTER(L"IMacroManager::CreateMacro");
    if (const HRESULT room = m_core->CheckRoom(L"new macro", 0, 1, 0, 0); FAILED(room)) return room;
    SimMacro m;
    m.id = m_core->NewId();
    m_core->State().macros.push_back(m);
    m_core->Changed();
    m_core->Log(L"macro created " + GuidText(m.id));
    *macro = new CMacroObject(m_core, m.id);
    return S_OK;
  }
  STDMETHODIMP DeleteMacro(IDeviceMacro* macro) override {
    ENTER(L"IMacroManager::DeleteMacro");
    GUID id{};
    if (FAILED(OwnObjectId(macro, OwnKind::Macro, id))) return E_INVALIDARG;
    auto& list = m_core->State().macros;
    for (size_t i = 0; i < list.size(); ++i)
      if (SameGuid(list[i].id, id)) {
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        m_core->Changed();
        m_core->Log(L"macro deleted " + GuidText(id));
        return S_OK;
      }
    return kErrNotFound;
  }
  STDMETHODIMP Reserved7() override { return E_NOTIMPL; }
  STDMETHODIMP ImportMacro(LPCWSTR path, IDeviceMacro** macro) override {
    if (!macro) return E_POINTER;
    *macro = nullptr;
    ENTER(L"IMacroManager::ImportMacro");
    if (!path || !*path) return E_INVALIDARG;
    GUID id{};
    const HRESULT hr = m_core->ImportMacroFile(path, id);
    if (FAILED(hr)) return hr;
    *macro = new CMacroObject(m_core, id);
    return S_OK;
  }
};

// ---- linked applications

class CAppObject : public CObject<IDeviceApplication, IServiceOwnObject> {
 public:
  CAppObject(std::shared_ptr<CServiceCore> core, const GUID& id) : CObject(std::move(core)), m_id(id) {}
  OwnKind STDMETHODCALLTYPE Kind() override { return OwnKind::Application; }
  GUID STDMETHODCALLTYPE ObjectId() override { return m_id; }

  STDMETHODIMP GetId(GUID* id) override {
    if (!id) return E_POINTER;
    ENTER(L"IDeviceApplication::GetId");
    if (!m_core->FindApp(m_id)) return kErrNotFound;
    *id = m_id;
    return S_OK;
  }
  STDMETHODIMP Reserved4() override { return E_NOTIMPL; }
  STDMETHODIMP GetName(LPWSTR* path) override {
    if (!path) return E_POINTER;
    *path = nullptr;
    ENTER(L"IDeviceApplication::GetName");
    SimApp* a = m_core->FindApp(m_id);
    return a ? CopyOut(a->path, path) : kErrNotFound;
  }
  STDMETHODIMP SetName(LPCWSTR path) override {
    ENTER(L"IDeviceApplication::SetName");
    if (const HRESULT hr = CheckText(path); FAILED(hr)) return hr;
    SimApp* a = m_core->FindApp(m_id);
    if (!a) return kErrNotFound;
    a->path = path;
    m_core->Changed();
    return S_OK;
  }

 private:
  GUID m_id;
};

class CAppManagerObject : public CEventSource<EventSource::Application, IApplicationManager> {
 public:
  using CEventSource::CEventSource;

  STDMETHODIMP GetApplication(int index, IDeviceApplication** app) override {
    if (!app) return E_POINTER;
    *app = nullptr;
    ENTER(L"IApplicationManager::GetApplication");
    const auto& list = m_core->State().apps;
    if (index < 0 || static_cast<size_t>(index) >= list.size()) return kErrNoMoreItems;
    *app = new CAppObject(m_core, list[static_cast<size_t>(index)].id);
    return S_OK;
  }
  STDMETHODIMP GetApplicationById(GUID id, IDeviceApplication** app) override {
    if (!app) return E_POINTER;
    *app = nullptr;
    ENTER(L"IApplicationManager::GetApplicationById");
    if (!m_core->FindApp(id)) return kErrNotFound;
    *app = new CAppObject(m_core, id);
    return S_OK;
  }
  STDMETHODIMP CreateApplication(IDeviceApplication** app) override {
    if (!app) return E_POINTER;
    *app = nullptr;
    ENTER(L"IApplicationManager::CreateApplication");
    if (const HRESULT room = m_core->CheckRoom(L"new program link", 0, 0, 1, 0); FAILED(room)) return room;
    SimApp a;
    a.id = m_core->NewId();
    m_core->State().apps.push_back(a);
    m_core->Changed();
    *app = new CAppObject(m_core, a.id);
    return S_OK;
  }
  STDMETHODIMP DeleteApplication(IDeviceApplication* app) override {
    ENTER(L"IApplicationManager::DeleteApplication");
    GUID id{};
    if (FAILED(OwnObjectId(app, OwnKind::Application, id))) return E_INVALIDARG;
    auto& list = m_core->State().apps;
    for (size_t i = 0; i < list.size(); ++i)
      if (SameGuid(list[i].id, id)) {
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        m_core->Changed();
        return S_OK;
      }
    return kErrNotFound;
  }
};

// ---- the device and its manager

class CDeviceObject : public CObject<IDevice, IDeviceIdentity, IDeviceStatus> {
 public:
  using CObject::CObject;

  STDMETHODIMP GetInfo(DeviceInfo* info) override {
    if (!info) return E_POINTER;
    info->text = nullptr;
    ENTER(L"IDevice::GetInfo");
    const SimDevice& d = m_core->State().device;
    info->productId = kSimProductId;
    info->secondMajor = d.secondMajor;
    info->secondMinor = d.secondMinor;
    info->firmwareMajor = d.firmwareMajor;
    info->firmwareMinor = d.firmwareMinor;
    return CopyOut(L"Kestrane Ovrix", &info->text);
  }
  STDMETHODIMP GetFeature(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    ENTER(L"IDevice::GetFeature");
    if (riid == __uuidof(IDeviceMode)) return Give(new CModeObject(m_core), riid, ppv);
    if (riid == __uuidof(IProfileManager)) return Give(new CProfileManagerObject(m_core), riid, ppv);
    if (riid == __uuidof(IMacroManager)) return Give(new CMacroManagerObject(m_core), riid, ppv);
    if (riid == __uuidof(IApplicationManager)) return Give(new CAppManagerObject(m_core), riid, ppv);
    if (riid == __uuidof(IOTFMacroRecording)) return Give(new CRecordingObject(m_core), riid, ppv);
    return E_NOINTERFACE;
  }
  STDMETHODIMP GetIds(DWORD* vendorId, DWORD* productId) override {
    if (!vendorId || !productId) return E_POINTER;
    ENTER(L"IDeviceIdentity::GetIds");
    *vendorId = kSimVendorId;
    *productId = kSimProductId;
    return S_OK;
  }
  STDMETHODIMP Reserved3() override { return E_NOTIMPL; }
  STDMETHODIMP GetValue(DWORD* layoutCode) override {
    if (!layoutCode) return E_POINTER;
    ENTER(L"IDeviceStatus::GetValue");
    *layoutCode = m_core->State().device.layoutCode;
    return S_OK;
  }
};

// One per client operation; its end makes the operation's changes durable.
class CDeviceManagerObject : public CObject<IDeviceManager> {
 public:
  explicit CDeviceManagerObject(std::shared_ptr<CServiceCore> core) : CObject(std::move(core)) {
    m_core->OperationStarted();
    m_core->Log(L"client connected");
  }
  ~CDeviceManagerObject() override {
    m_core->Log(L"client released");
    m_core->OperationEnded();
  }

  STDMETHODIMP GetDevice(int index, IDevice** device) override {
    if (!device) return E_POINTER;
    *device = nullptr;
    ENTER_NO_DEVICE(L"IDeviceManager::GetDevice");
    if (index != 0 || !m_core->Plugged()) return kErrNoMoreItems;
    *device = new CDeviceObject(m_core);
    return S_OK;
  }
};

// ---- control

class CControlObject : public CObject<IDeviceServiceControl> {
 public:
  using CObject::CObject;

  STDMETHODIMP SetPlugged(BOOL plugged) override {
    ENTER_NO_DEVICE(L"IDeviceServiceControl::SetPlugged");
    m_core->SetPlugged(plugged != FALSE);
    return S_OK;
  }
  STDMETHODIMP SetLayoutCode(DWORD layoutCode) override {
    ENTER_NO_DEVICE(L"IDeviceServiceControl::SetLayoutCode");
    m_core->State().device.layoutCode = layoutCode;
    m_core->Changed();
    return S_OK;
  }
  STDMETHODIMP SetVersions(DWORD fwMajor, DWORD fwMinor, DWORD secondMajor, DWORD secondMinor) override {
    ENTER_NO_DEVICE(L"IDeviceServiceControl::SetVersions");
    SimDevice& d = m_core->State().device;
    d.firmwareMajor = fwMajor;
    d.firmwareMinor = fwMinor;
    d.secondMajor = secondMajor;
    d.secondMinor = secondMinor;
    m_core->Changed();
    return S_OK;
  }
  STDMETHODIMP PressKey(DWORD keyCode) override {
    ENTER_NO_DEVICE(L"IDeviceServiceControl::PressKey");
    return m_core->PressKey(keyCode);
  }
  STDMETHODIMP Recording(int step, DWORD keyCode) override {
    ENTER_NO_DEVICE(L"IDeviceServiceControl::Recording");
    if (step < 1 || step > 4) return E_INVALIDARG;
    if (!m_core->Plugged()) return kErrUnplugged;
    m_core->RaiseRecording(step, keyCode);
    return S_OK;
  }
  STDMETHODIMP SetFault(LPCWSTR method, HRESULT status, DWORD delayMs) override {
    ENTER_NO_DEVICE(L"IDeviceServiceControl::SetFault");
    if (const HRESULT hr = CheckText(method); FAILED(hr)) return hr;
    if (delayMs > 60000) return E_INVALIDARG;
    m_core->SetFault(method, status, delayMs);
    return S_OK;
  }
  STDMETHODIMP ClearFaults() override {
    m_core->ClearFaults();
    return S_OK;
  }
  STDMETHODIMP ResetToFactory() override {
    ENTER_NO_DEVICE(L"IDeviceServiceControl::ResetToFactory");
    m_core->ResetToFactory();
    return S_OK;
  }
  STDMETHODIMP DumpState(BSTR* text) override {
    if (!text) return E_POINTER;
    *text = SysAllocString(DumpSimState(m_core->State(), static_cast<DWORD>(m_core->Mode()), m_core->Plugged()).c_str());
    return *text ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP GetCallLog(BSTR* text) override {
    if (!text) return E_POINTER;
    std::wstring all;
    for (const auto& line : m_core->CallLog()) all += line + L"\n";
    *text = SysAllocString(all.c_str());
    return *text ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP ClearCallLog() override {
    m_core->ClearCallLog();
    return S_OK;
  }
  STDMETHODIMP Shutdown() override {
    m_core->RequestShutdown();
    return S_OK;
  }
  STDMETHODIMP SetFaultOnCall(LPCWSTR method, HRESULT status, DWORD call) override {
    ENTER_NO_DEVICE(L"IDeviceServiceControl::SetFaultOnCall");
    if (const HRESULT hr = CheckText(method); FAILED(hr)) return hr;
    if (SUCCEEDED(status) || call == 0) return E_INVALIDARG;
    m_core->SetFaultOnCall(method, status, call);
    return S_OK;
  }
};

template <typename T>
class CFactory : public CObject<IClassFactory> {
 public:
  using CObject::CObject;
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return Give(new T(m_core), riid, ppv);
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }  // the service stays resident anyway
};

}  // namespace

IClassFactory* NewDeviceServiceFactory(std::shared_ptr<CServiceCore> core) {
  return new CFactory<CDeviceManagerObject>(std::move(core));
}

IClassFactory* NewDeviceServiceControlFactory(std::shared_ptr<CServiceCore> core) {
  return new CFactory<CControlObject>(std::move(core));
}

CServiceClassRegistration::CServiceClassRegistration(std::shared_ptr<CServiceCore> core) {
  // Registered, each factory is held by COM; these are the creation references.
  const platform::ComRef<IClassFactory> service(NewDeviceServiceFactory(core));
  const platform::ComRef<IClassFactory> control(NewDeviceServiceControlFactory(core));
  m_status = CoRegisterClassObject(CLSID_DeviceServiceClass, service.Get(), CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                   &m_serviceCookie);
  if (SUCCEEDED(m_status))
    m_status = CoRegisterClassObject(CLSID_DeviceServiceControl, control.Get(), CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                     &m_controlCookie);
}

CServiceClassRegistration::~CServiceClassRegistration() {
  if (m_serviceCookie) CoRevokeClassObject(m_serviceCookie);
  if (m_controlCookie) CoRevokeClassObject(m_controlCookie);
}
