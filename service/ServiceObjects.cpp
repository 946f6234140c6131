#include "service/ServiceObjects.h"

#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <cstring>
#include <tuple>

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
  IServiceOwnObject* own = nullptr;
  if (FAILED(object->QueryInterface(__uuidof(IServiceOwnObject), reinterpret_cast<void**>(&own))) || !own)
    return E_INVALIDARG;
  const bool match = own->Kind() == kind;
  if (match) id = own->ObjectId();
  own->Release();
  return match ? S_OK : E_INVALIDARG;
}

// ---- plumbing

// Reference counting and QueryInterface over the listed interfaces. Every object
// keeps the core alive, so a client that holds an object after the service began to
// stop still reaches valid memory.
template <typename... I>
class CObject : public I... {
 public:
  explicit CObject(std::shared_ptr<CServiceCore> core) : core_(std::move(core)) {}
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
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }

 protected:
  virtual void* QueryExtra(REFIID) { return nullptr; }
  std::shared_ptr<CServiceCore> core_;

 private:
  ULONG refs_ = 1;
};

#define ENTER(name)                                     \
  do {                                                  \
    const HRESULT enter_ = core_->Enter(name);          \
    if (FAILED(enter_)) return enter_;                  \
  } while (0)
#define ENTER_NO_DEVICE(name)                           \
  do {                                                  \
    const HRESULT enter_ = core_->Enter(name, false);   \
    if (FAILED(enter_)) return enter_;                  \
  } while (0)

// Hands out `object` as `riid` and drops the creation reference.
template <typename T>
HRESULT Give(T* object, REFIID riid, void** ppv) {
  const HRESULT hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
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
      : CObject(std::move(core)), source_(source), container_(container) {
    container_->AddRef();
  }
  ~CConnectionPoint() override { container_->Release(); }

  STDMETHODIMP GetConnectionInterface(IID* iid) override {
    if (!iid) return E_POINTER;
    *iid = EventIid(source_);
    return S_OK;
  }
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override {
    if (!out) return E_POINTER;
    container_->AddRef();
    *out = container_;
    return S_OK;
  }
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    ENTER_NO_DEVICE(L"IConnectionPoint::Advise");
    if (!sink) return E_POINTER;
    *cookie = core_->AddSink(source_, sink);
    return *cookie ? S_OK : CONNECT_E_CANNOTCONNECT;
  }
  STDMETHODIMP Unadvise(DWORD cookie) override {
    ENTER_NO_DEVICE(L"IConnectionPoint::Unadvise");
    return core_->RemoveSink(source_, cookie) ? S_OK : CONNECT_E_NOCONNECTION;
  }
  STDMETHODIMP EnumConnections(IEnumConnections** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }

 private:
  EventSource source_;
  IConnectionPointContainer* container_;
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
    *out = new CConnectionPoint(this->core_, Source, this);
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
    core_->SetMode(mode);
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
      : CObject(std::move(core)), profile_(profile), index_(index) {}

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
    SimProfile* p = core_->FindProfile(profile_);
    return p && index_ < p->leds.size() ? &p->leds[index_] : nullptr;
  }
  template <typename F>
  HRESULT Change(const wchar_t* name, F f) {
    ENTER(name);
    SimLed* l = Led();
    if (!l) return kErrNotFound;
    f(*l);
    core_->Changed();
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
  GUID profile_;
  size_t index_;
};

class CLedManagerObject : public CObject<ILedManager> {
 public:
  CLedManagerObject(std::shared_ptr<CServiceCore> core, const GUID& profile)
      : CObject(std::move(core)), profile_(profile) {}
  STDMETHODIMP GetLed(int index, ILed** led) override {
    if (!led) return E_POINTER;
    *led = nullptr;
    ENTER(L"ILedManager::GetLed");
    SimProfile* p = core_->FindProfile(profile_);
    if (!p) return kErrNotFound;
    if (index < 0 || static_cast<size_t>(index) >= p->leds.size()) return kErrNoMoreItems;
    *led = new CLedObject(core_, profile_, static_cast<size_t>(index));
    return S_OK;
  }

 private:
  GUID profile_;
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
      : CObject(std::move(core)), profile_(profile) {}

  STDMETHODIMP GetProperty(DWORD id, DWORD, void* buffer, DWORD, DWORD* size) override {
    if (!size) return E_POINTER;
    const DWORD capacity = *size;
    *size = 0;
    ENTER(L"IProfileProperties::GetProperty");
    SimProfile* p = core_->FindProfile(profile_);
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
    SimProfile* p = core_->FindProfile(profile_);
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
        core_->Log(L"refused: program file name longer than 127 characters");
        return E_INVALIDARG;
      }
      p->program = name;
      core_->Changed();
      return S_OK;
    }
    if (id == kProfilePropertyFlags) {
      if (size != 2 * sizeof(WORD)) return E_INVALIDARG;
      WORD word[2];
      std::memcpy(word, buffer, sizeof(word));
      const WORD mask = word[0], value = word[1];
      if ((mask != 1 && mask != 2 && mask != 4) || value > 1) {
        core_->Log(L"refused: profile flag write with mask " + std::to_wstring(mask) + L" value " +
                   std::to_wstring(value));
        return E_INVALIDARG;
      }
      p->flags = static_cast<uint16_t>(value ? (p->flags | mask) : (p->flags & ~mask));
      core_->Changed();
      return S_OK;
    }
    return E_INVALIDARG;
  }

 private:
  GUID profile_;
};

class CKeysObject : public CObject<IKeyAssignments> {
 public:
  CKeysObject(std::shared_ptr<CServiceCore> core, const GUID& profile) : CObject(std::move(core)), profile_(profile) {}

  STDMETHODIMP GetCount(DeviceAssignmentCount* count) override {
    if (!count) return E_POINTER;
    ENTER(L"IKeyAssignments::GetCount");
    SimProfile* p = core_->FindProfile(profile_);
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
    SimProfile* p = core_->FindProfile(profile_);
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
    SimProfile* p = core_->FindProfile(profile_);
    if (!p) return kErrNotFound;
    // Checked whole before anything is stored.
    std::vector<size_t> slots;
    for (int i = 0; i < count; ++i) {
      const DeviceKeyAssignment& r = records[i];
      size_t slot = 0;
      while (slot < p->keys.size() && p->keys[slot].keyCode != r.keyCode) ++slot;
      if (slot == p->keys.size() || !IsStorableAssignment(r)) {
        core_->Log(L"refused: key record for key code " + std::to_wstring(r.keyCode) + L" of type " +
                   std::to_wstring(r.type));
        return E_INVALIDARG;
      }
      slots.push_back(slot);
    }
    for (int i = 0; i < count; ++i) p->keys[slots[static_cast<size_t>(i)]] = records[i];
    if (count) core_->Changed();
    return S_OK;
  }

 private:
  GUID profile_;
};

// ---- profiles

class CProfileObject : public CObject<IDeviceProfile, IServiceOwnObject> {
 public:
  CProfileObject(std::shared_ptr<CServiceCore> core, const GUID& id) : CObject(std::move(core)), id_(id) {}
  OwnKind STDMETHODCALLTYPE Kind() override { return OwnKind::Profile; }
  GUID STDMETHODCALLTYPE ObjectId() override { return id_; }

  STDMETHODIMP GetFeature(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    ENTER(L"IDeviceProfile::GetFeature");
    if (!core_->FindProfile(id_)) return kErrNotFound;
    if (riid == __uuidof(IProfileProperties)) return Give(new CPropertiesObject(core_, id_), riid, ppv);
    if (riid == __uuidof(IKeyAssignments)) return Give(new CKeysObject(core_, id_), riid, ppv);
    if (riid == __uuidof(ILedManager)) return Give(new CLedManagerObject(core_, id_), riid, ppv);
    if (riid == __uuidof(IDPI)) return Give(new CDpiObject(core_), riid, ppv);
    return E_NOINTERFACE;
  }
  STDMETHODIMP GetId(GUID* id) override {
    if (!id) return E_POINTER;
    ENTER(L"IDeviceProfile::GetId");
    if (!core_->FindProfile(id_)) return kErrNotFound;
    *id = id_;
    return S_OK;
  }
  STDMETHODIMP GetName(LPWSTR* name) override {
    if (!name) return E_POINTER;
    *name = nullptr;
    ENTER(L"IDeviceProfile::GetName");
    SimProfile* p = core_->FindProfile(id_);
    return p ? CopyOut(p->name, name) : kErrNotFound;
  }
  STDMETHODIMP SetName(LPCWSTR name) override {
    ENTER(L"IDeviceProfile::SetName");
    if (const HRESULT hr = CheckText(name); FAILED(hr)) return hr;
    SimProfile* p = core_->FindProfile(id_);
    if (!p) return kErrNotFound;
    p->name = name;
    core_->Changed();
    return S_OK;
  }
  STDMETHODIMP Reserved7() override { return E_NOTIMPL; }
  STDMETHODIMP ExportToFile(LPCWSTR path) override {
    ENTER(L"IDeviceProfile::ExportToFile");
    if (!path || !*path) return E_INVALIDARG;
    return core_->ExportProfileFile(id_, path);
  }

 private:
  GUID id_;
};

HRESULT ProfileIdOf(IDeviceProfile* profile, GUID& id) { return OwnObjectId(profile, OwnKind::Profile, id); }

class CProfileManagerObject : public CEventSource<EventSource::Profile, IProfileManager> {
 public:
  using CEventSource::CEventSource;

  STDMETHODIMP GetProfile(int index, IDeviceProfile** profile) override {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    ENTER(L"IProfileManager::GetProfile");
    const auto& list = core_->State().profiles;
    if (index < 0 || static_cast<size_t>(index) >= list.size()) return kErrNoMoreItems;
    *profile = new CProfileObject(core_, list[static_cast<size_t>(index)].id);
    return S_OK;
  }
  STDMETHODIMP GetProfileById(GUID id, IDeviceProfile** profile) override {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    ENTER(L"IProfileManager::GetProfileById");
    if (!core_->FindProfile(id)) return kErrNotFound;
    *profile = new CProfileObject(core_, id);
    return S_OK;
  }
  STDMETHODIMP SetActiveProfile(IDeviceProfile* profile) override {
    ENTER(L"IProfileManager::SetActiveProfile");
    GUID id{};
    if (!profile || FAILED(ProfileIdOf(profile, id))) return E_INVALIDARG;
    return core_->ActivateProfile(id);
  }
  STDMETHODIMP GetActiveProfile(IDeviceProfile** profile) override {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    ENTER(L"IProfileManager::GetActiveProfile");
    const GUID active = core_->State().active;
    if (!core_->FindProfile(active)) return kErrNotFound;
    *profile = new CProfileObject(core_, active);
    return S_OK;
  }
  STDMETHODIMP CreateProfile(IDeviceProfile** profile) override {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    ENTER(L"IProfileManager::CreateProfile");
    if (const HRESULT room = core_->CheckRoom(L"new profile", 1, 0, 0, 0); FAILED(room)) return room;
    const GUID id = core_->NewId();
    core_->State().profiles.push_back(NewSimProfile(id, core_->Keyboard()));
    core_->Changed();
    core_->Log(L"profile created " + GuidText(id));
    if (!core_->FindProfile(core_->State().active)) core_->ActivateProfile(id);
    *profile = new CProfileObject(core_, id);
    return S_OK;
  }
  STDMETHODIMP DeleteProfile(IDeviceProfile* profile) override {
    ENTER(L"IProfileManager::DeleteProfile");
    GUID id{};
    if (!profile || FAILED(ProfileIdOf(profile, id))) return E_INVALIDARG;
    return core_->DeleteProfile(id);
  }
  STDMETHODIMP Reserved9() override { return E_NOTIMPL; }
  STDMETHODIMP ImportProfile(LPCWSTR path, IDeviceProfile** profile) override {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    ENTER(L"IProfileManager::ImportProfile");
    if (!path || !*path) return E_INVALIDARG;
    GUID id{};
    const HRESULT hr = core_->ImportProfileFile(path, id);
    if (FAILED(hr)) return hr;
    *profile = new CProfileObject(core_, id);
    return S_OK;
  }
};

// ---- macros

class CMacroObject : public CObject<IDeviceMacro, IServiceOwnObject> {
 public:
  CMacroObject(std::shared_ptr<CServiceCore> core, const GUID& id) : CObject(std::move(core)), id_(id) {}
  OwnKind STDMETHODCALLTYPE Kind() override { return OwnKind::Macro; }
  GUID STDMETHODCALLTYPE ObjectId() override { return id_; }

  STDMETHODIMP GetId(GUID* id) override {
    if (!id) return E_POINTER;
    ENTER(L"IDeviceMacro::GetId");
    if (!core_->FindMacro(id_)) return kErrNotFound;
    *id = id_;
    return S_OK;
  }
  STDMETHODIMP GetName(LPWSTR* name) override {
    if (!name) return E_POINTER;
    *name = nullptr;
    ENTER(L"IDeviceMacro::GetName");
    SimMacro* m = core_->FindMacro(id_);
    return m ? CopyOut(m->name, name) : kErrNotFound;
  }
  STDMETHODIMP SetName(LPCWSTR name) override {
    ENTER(L"IDeviceMacro::SetName");
    if (const HRESULT hr = CheckText(name); FAILED(hr)) return hr;
    SimMacro* m = core_->FindMacro(id_);
    if (!m) return kErrNotFound;
    m->name = name;
    core_->Changed();
    return S_OK;
  }
  STDMETHODIMP ExportToFile(LPCWSTR path) override {
    ENTER(L"IDeviceMacro::ExportToFile");
    if (!path || !*path) return E_INVALIDARG;
    return core_->ExportMacroFile(id_, path);
  }
  STDMETHODIMP GetEvents(DeviceMacroBlob** blob) override {
    if (!blob) return E_POINTER;
    *blob = nullptr;
    ENTER(L"IDeviceMacro::GetEvents");
    SimMacro* m = core_->FindMacro(id_);
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
    SimMacro* m = core_->FindMacro(id_);
    if (!m) return kErrNotFound;
    if (const HRESULT room =
            core_->CheckRoom(L"macro events", 0, 0, 0, static_cast<size_t>(blob->count), m->events.size());
        FAILED(room))
      return room;
    std::vector<DeviceMacroEvent> events(blob->events, blob->events + blob->count);
    for (const auto& e : events)
      if (!IsStorableMacroEvent(e)) {
        core_->Log(L"refused: macro event of type " + std::to_wstring(e.type));
        return E_INVALIDARG;
      }
    m->events = std::move(events);
    core_->Changed();
    return S_OK;
  }

 private:
  GUID id_;
};

class CMacroManagerObject : public CObject<IMacroManager> {
 public:
  using CObject::CObject;

  STDMETHODIMP GetMacro(int index, IDeviceMacro** macro) override {
    if (!macro) return E_POINTER;
    *macro = nullptr;
    ENTER(L"IMacroManager::GetMacro");
    const auto& list = core_->State().macros;
    if (index < 0 || static_cast<size_t>(index) >= list.size()) return kErrNoMoreItems;
    *macro = new CMacroObject(core_, list[static_cast<size_t>(index)].id);
    return S_OK;
  }
  STDMETHODIMP GetMacroById(GUID id, IDeviceMacro** macro) override {
    if (!macro) return E_POINTER;
    *macro = nullptr;
    ENTER(L"IMacroManager::GetMacroById");
    if (!core_->FindMacro(id)) return kErrNotFound;
    *macro = new CMacroObject(core_, id);
    return S_OK;
  }
  STDMETHODIMP CreateMacro(IDeviceMacro** macro) override {
    if (!macro) return E_POINTER;
    *macro = nullptr;
    ENTER(L"IMacroManager::CreateMacro");
    if (const HRESULT room = core_->CheckRoom(L"new macro", 0, 1, 0, 0); FAILED(room)) return room;
    SimMacro m;
    m.id = core_->NewId();
    core_->State().macros.push_back(m);
    core_->Changed();
    core_->Log(L"macro created " + GuidText(m.id));
    *macro = new CMacroObject(core_, m.id);
    return S_OK;
  }
  STDMETHODIMP DeleteMacro(IDeviceMacro* macro) override {
    ENTER(L"IMacroManager::DeleteMacro");
    GUID id{};
    if (FAILED(OwnObjectId(macro, OwnKind::Macro, id))) return E_INVALIDARG;
    auto& list = core_->State().macros;
    for (size_t i = 0; i < list.size(); ++i)
      if (SameGuid(list[i].id, id)) {
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        core_->Changed();
        core_->Log(L"macro deleted " + GuidText(id));
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
    const HRESULT hr = core_->ImportMacroFile(path, id);
    if (FAILED(hr)) return hr;
    *macro = new CMacroObject(core_, id);
    return S_OK;
  }
};

// ---- linked applications

class CAppObject : public CObject<IDeviceApplication, IServiceOwnObject> {
 public:
  CAppObject(std::shared_ptr<CServiceCore> core, const GUID& id) : CObject(std::move(core)), id_(id) {}
  OwnKind STDMETHODCALLTYPE Kind() override { return OwnKind::Application; }
  GUID STDMETHODCALLTYPE ObjectId() override { return id_; }

  STDMETHODIMP GetId(GUID* id) override {
    if (!id) return E_POINTER;
    ENTER(L"IDeviceApplication::GetId");
    if (!core_->FindApp(id_)) return kErrNotFound;
    *id = id_;
    return S_OK;
  }
  STDMETHODIMP Reserved4() override { return E_NOTIMPL; }
  STDMETHODIMP GetName(LPWSTR* path) override {
    if (!path) return E_POINTER;
    *path = nullptr;
    ENTER(L"IDeviceApplication::GetName");
    SimApp* a = core_->FindApp(id_);
    return a ? CopyOut(a->path, path) : kErrNotFound;
  }
  STDMETHODIMP SetName(LPCWSTR path) override {
    ENTER(L"IDeviceApplication::SetName");
    if (const HRESULT hr = CheckText(path); FAILED(hr)) return hr;
    SimApp* a = core_->FindApp(id_);
    if (!a) return kErrNotFound;
    a->path = path;
    core_->Changed();
    return S_OK;
  }

 private:
  GUID id_;
};

class CAppManagerObject : public CEventSource<EventSource::Application, IApplicationManager> {
 public:
  using CEventSource::CEventSource;

  STDMETHODIMP GetApplication(int index, IDeviceApplication** app) override {
    if (!app) return E_POINTER;
    *app = nullptr;
    ENTER(L"IApplicationManager::GetApplication");
    const auto& list = core_->State().apps;
    if (index < 0 || static_cast<size_t>(index) >= list.size()) return kErrNoMoreItems;
    *app = new CAppObject(core_, list[static_cast<size_t>(index)].id);
    return S_OK;
  }
  STDMETHODIMP GetApplicationById(GUID id, IDeviceApplication** app) override {
    if (!app) return E_POINTER;
    *app = nullptr;
    ENTER(L"IApplicationManager::GetApplicationById");
    if (!core_->FindApp(id)) return kErrNotFound;
    *app = new CAppObject(core_, id);
    return S_OK;
  }
  STDMETHODIMP CreateApplication(IDeviceApplication** app) override {
    if (!app) return E_POINTER;
    *app = nullptr;
    ENTER(L"IApplicationManager::CreateApplication");
    if (const HRESULT room = core_->CheckRoom(L"new program link", 0, 0, 1, 0); FAILED(room)) return room;
    SimApp a;
    a.id = core_->NewId();
    core_->State().apps.push_back(a);
    core_->Changed();
    *app = new CAppObject(core_, a.id);
    return S_OK;
  }
  STDMETHODIMP DeleteApplication(IDeviceApplication* app) override {
    ENTER(L"IApplicationManager::DeleteApplication");
    GUID id{};
    if (FAILED(OwnObjectId(app, OwnKind::Application, id))) return E_INVALIDARG;
    auto& list = core_->State().apps;
    for (size_t i = 0; i < list.size(); ++i)
      if (SameGuid(list[i].id, id)) {
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        core_->Changed();
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
    const SimDevice& d = core_->State().device;
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
    if (riid == __uuidof(IDeviceMode)) return Give(new CModeObject(core_), riid, ppv);
    if (riid == __uuidof(IProfileManager)) return Give(new CProfileManagerObject(core_), riid, ppv);
    if (riid == __uuidof(IMacroManager)) return Give(new CMacroManagerObject(core_), riid, ppv);
    if (riid == __uuidof(IApplicationManager)) return Give(new CAppManagerObject(core_), riid, ppv);
    if (riid == __uuidof(IOTFMacroRecording)) return Give(new CRecordingObject(core_), riid, ppv);
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
    *layoutCode = core_->State().device.layoutCode;
    return S_OK;
  }
};

// One per client operation; its end makes the operation's changes durable.
class CDeviceManagerObject : public CObject<IDeviceManager> {
 public:
  explicit CDeviceManagerObject(std::shared_ptr<CServiceCore> core) : CObject(std::move(core)) {
    core_->OperationStarted();
    core_->Log(L"client connected");
  }
  ~CDeviceManagerObject() override {
    core_->Log(L"client released");
    core_->OperationEnded();
  }

  STDMETHODIMP GetDevice(int index, IDevice** device) override {
    if (!device) return E_POINTER;
    *device = nullptr;
    ENTER_NO_DEVICE(L"IDeviceManager::GetDevice");
    if (index != 0 || !core_->Plugged()) return kErrNoMoreItems;
    *device = new CDeviceObject(core_);
    return S_OK;
  }
};

// ---- control

class CControlObject : public CObject<IDeviceServiceControl> {
 public:
  using CObject::CObject;

  STDMETHODIMP SetPlugged(BOOL plugged) override {
    ENTER_NO_DEVICE(L"IDeviceServiceControl::SetPlugged");
    core_->SetPlugged(plugged != FALSE);
    return S_OK;
  }
  STDMETHODIMP SetLayoutCode(DWORD layoutCode) override {
    ENTER_NO_DEVICE(L"IDeviceServiceControl::SetLayoutCode");
    core_->State().device.layoutCode = layoutCode;
    core_->Changed();
    return S_OK;
  }
  STDMETHODIMP SetVersions(DWORD fwMajor, DWORD fwMinor, DWORD secondMajor, DWORD secondMinor) override {
    ENTER_NO_DEVICE(L"IDeviceServiceControl::SetVersions");
    SimDevice& d = core_->State().device;
    d.firmwareMajor = fwMajor;
    d.firmwareMinor = fwMinor;
    d.secondMajor = secondMajor;
    d.secondMinor = secondMinor;
    core_->Changed();
    return S_OK;
  }
  STDMETHODIMP PressKey(DWORD keyCode) override {
    ENTER_NO_DEVICE(L"IDeviceServiceControl::PressKey");
    return core_->PressKey(keyCode);
  }
  STDMETHODIMP Recording(int step, DWORD keyCode) override {
    ENTER_NO_DEVICE(L"IDeviceServiceControl::Recording");
    if (step < 1 || step > 4) return E_INVALIDARG;
    if (!core_->Plugged()) return kErrUnplugged;
    core_->RaiseRecording(step, keyCode);
    return S_OK;
  }
  STDMETHODIMP SetFault(LPCWSTR method, HRESULT status, DWORD delayMs) override {
    ENTER_NO_DEVICE(L"IDeviceServiceControl::SetFault");
    if (const HRESULT hr = CheckText(method); FAILED(hr)) return hr;
    if (delayMs > 60000) return E_INVALIDARG;
    core_->SetFault(method, status, delayMs);
    return S_OK;
  }
  STDMETHODIMP ClearFaults() override {
    core_->ClearFaults();
    return S_OK;
  }
  STDMETHODIMP ResetToFactory() override {
    ENTER_NO_DEVICE(L"IDeviceServiceControl::ResetToFactory");
    core_->ResetToFactory();
    return S_OK;
  }
  STDMETHODIMP DumpState(BSTR* text) override {
    if (!text) return E_POINTER;
    *text = SysAllocString(DumpSimState(core_->State(), static_cast<DWORD>(core_->Mode()), core_->Plugged()).c_str());
    return *text ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP GetCallLog(BSTR* text) override {
    if (!text) return E_POINTER;
    std::wstring all;
    for (const auto& line : core_->CallLog()) all += line + L"\n";
    *text = SysAllocString(all.c_str());
    return *text ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP ClearCallLog() override {
    core_->ClearCallLog();
    return S_OK;
  }
  STDMETHODIMP Shutdown() override {
    core_->RequestShutdown();
    return S_OK;
  }
  STDMETHODIMP SetFaultOnCall(LPCWSTR method, HRESULT status, DWORD call) override {
    ENTER_NO_DEVICE(L"IDeviceServiceControl::SetFaultOnCall");
    if (const HRESULT hr = CheckText(method); FAILED(hr)) return hr;
    if (SUCCEEDED(status) || call == 0) return E_INVALIDARG;
    core_->SetFaultOnCall(method, status, call);
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
    return Give(new T(core_), riid, ppv);
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
  IClassFactory* service = NewDeviceServiceFactory(core);
  IClassFactory* control = NewDeviceServiceControlFactory(core);
  status_ = CoRegisterClassObject(CLSID_DeviceServiceClass, service, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                  &serviceCookie_);
  if (SUCCEEDED(status_))
    status_ = CoRegisterClassObject(CLSID_DeviceServiceControl, control, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                    &controlCookie_);
  service->Release();
  control->Release();
}

CServiceClassRegistration::~CServiceClassRegistration() {
  if (serviceCookie_) CoRevokeClassObject(serviceCookie_);
  if (controlCookie_) CoRevokeClassObject(controlCookie_);
}
