// The connection to the device service and the generic device operations. A
// connection is opened for one operation and closed again; while one is held (for
// example by a running background write) every further connect is refused, which
// is what keeps the window thread's operations and the write apart. Only the
// start-up's reads share one connection (HoldConnection).
#pragma once
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "device/DeviceCom.h"
#include "device/DeviceRecords.h"
#include "device/GenDevice.h"
#include "platform/Handles.h"

struct GuidLess {
  bool operator()(const GUID& a, const GUID& b) const { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
};
using GuidSet = std::set<GUID, GuidLess>;
// Old id to new id, for the objects a write had to make anew on the device.
using GuidMap = std::map<GUID, GUID, GuidLess>;

// The device objects this configuration has taken in from the device (read,
// imported) or put there itself. Only these may be deleted from the device when
// the configuration no longer has them: anything else (a macro the tray recorded,
// what a failed read never brought in) was never the configuration's to delete.
struct KnownDeviceObjects {
  GuidSet profiles;
  GuidSet macros;
  GuidSet apps;
};

namespace device {

// One key of the device as the write needs it, resolved from the key definitions
// on the window thread before the write starts: the write thread never looks at
// the global definitions, whose defaults the window thread may load anew while a
// write runs.
struct ResolvedKey {
  uint32_t deviceKeyCode = 0;
  int32_t keyId = 0;          // 0: no key definition sends the code
  KeyAssignment standard;     // what the key does by default, as of the write's start
};
using ResolvedKeyTable = std::vector<ResolvedKey>;

// The two waits of the background write, behind a seam so that tests neither wait
// in real time nor depend on the machine's load.
class WriteWaits {
 public:
  virtual ~WriteWaits() = default;
  // On the write thread, after its job: waits `ms`, or until `wake` is set.
  virtual void Linger(HANDLE wake, DWORD ms);
  // On the window thread at destruction: waits up to `ms` for the thread to end
  // (serving incoming COM calls meanwhile); true when it has ended.
  virtual bool WaitForThread(HANDLE thread, DWORD ms);
};

}  // namespace device

// What one job works through: the connection's device, the keys the device has,
// what the configuration knows, and (on the write thread) the request to stop.
struct DeviceSession {
  IDevice* device = nullptr;
  const std::vector<uint32_t>* keyCodes = nullptr;
  KnownDeviceObjects* known = nullptr;
  const std::atomic<bool>* stop = nullptr;
  // The write's keys (null for the window thread's jobs, which read no key table).
  const device::ResolvedKeyTable* keys = nullptr;

  bool Stopped() const { return stop != nullptr && stop->load(); }
  std::size_t KeyCount() const { return keyCodes == nullptr ? 0 : keyCodes->size(); }
};

// Creates the service's device manager. The programs use CoCreateInstance of the
// service's class; tests hand in the stand-in's class object.
using DeviceManagerFactory = std::function<HRESULT(IDeviceManager** manager)>;
DeviceManagerFactory DefaultDeviceManagerFactory();

// The block handed to the write thread. The thread works on the job's own copies
// of everything it needs (the configuration copy included), so nothing it uses
// belongs to the window thread.
struct DeviceThreadParams {
  using Job = std::function<bool(DeviceSession& session, IKeyboardConfig* config, TransferMask mask)>;
  // Runs on the window thread once the thread has ended.
  using Completion = std::function<void(DeviceThreadParams& params)>;

  DeviceThreadParams();
  ~DeviceThreadParams();
  DeviceThreadParams(const DeviceThreadParams&) = delete;
  DeviceThreadParams& operator=(const DeviceThreadParams&) = delete;

  class CDeviceConnection* device = nullptr;
  IKeyboardConfig* config = nullptr;
  TransferMask mask = 0;
  Job job;
  Completion completion;

  std::vector<uint32_t> keyCodes;
  device::ResolvedKeyTable keyTable;
  // The known-ids record belongs to the write while it runs: it starts as a copy
  // of the connection's, the job alone changes it, and it replaces the
  // connection's once the thread has ended (never when destruction ended it).
  KnownDeviceObjects known;
  std::shared_ptr<device::WriteWaits> waits;
  ComRef<IStream> deviceStream;  // the held device, marshalled for the thread
  std::atomic<bool> stop{false};
  platform::KernelHandle wake;  // cuts the wait after the job short when stopping
  bool result = false;    // the job's result, read once the thread has ended
};

class CDeviceConnection {
 public:
  CDeviceConnection();
  virtual ~CDeviceConnection();
  CDeviceConnection(const CDeviceConnection&) = delete;
  CDeviceConnection& operator=(const CDeviceConnection&) = delete;

  void SetDeviceManagerFactory(DeviceManagerFactory factory) { m_factory = std::move(factory); }
  void SetWriteWaits(std::shared_ptr<device::WriteWaits> waits) { m_waits = std::move(waits); }
  const DeviceDescriptor& Descriptor() const { return *m_descriptor; }
  bool HasCapability(CapabilityCode capability) const { return m_descriptor->Has(capability); }
  bool PresentFlag() const { return m_present.load(); }
  bool WriteRunning() const { return m_writing.load(); }
  bool LastWriteResult() const { return m_lastWriteSucceeded; }
  const std::vector<uint32_t>& KeyCodes() const { return m_keyCodes; }
  uint32_t KeyCount() const { return m_keyCount; }

  // From here on the connection an operation opens stays open, and the window
  // thread's operations that follow use it, until EndHeldConnection: the reads of
  // the start-up (the configuration, the layout code, every profile's keys) then
  // connect to the service once instead of once each, each connect costing
  // several calls to the service. A write ends the hold before it connects.
  void HoldConnection() { m_holdConnection = true; }
  // Ends the hold and closes the held connection.
  void EndHeldConnection();

  // How long the destructor waits for a running write before it asks it to stop.
  static constexpr DWORD kWriteWaitMs = 7500;
  // How long the write counts as running after its job has ended.
  static constexpr DWORD kWriteLingerMs = 500;

 protected:
  // An operation's own connection: connects on construction and disconnects on
  // destruction only if this very object connected; while a hold lasts it uses the
  // held connection and leaves it open.
  class ScopedConnection {
   public:
    explicit ScopedConnection(CDeviceConnection& owner) : m_owner(owner), m_held(owner.OpenForOperation()) {}
    ~ScopedConnection() {
      if (m_held) m_owner.CloseAfterOperation();
    }
    ScopedConnection(const ScopedConnection&) = delete;
    ScopedConnection& operator=(const ScopedConnection&) = delete;
    explicit operator bool() const { return m_held; }

   private:
    CDeviceConnection& m_owner;
    bool m_held;
  };

  bool Connect();
  void Disconnect();
  // The held connection when there is one (never a write's), else Connect().
  bool OpenForOperation();
  // Disconnect() unless the connection is held.
  void CloseAfterOperation();
  // Connects, runs the job on this thread, disconnects; false when the connect failed.
  bool CallConnected(const DeviceThreadParams::Job& job, IKeyboardConfig* config, TransferMask mask);
  // Connects and starts the write thread with the job; false (and nothing held)
  // when the connect, the marshalling or the thread creation failed, or a write runs.
  bool StartWriteThread(std::unique_ptr<DeviceThreadParams> params);
  // On the window thread: when the write thread has ended, closes it, releases the
  // connection it held and runs the completion. Every window-thread entry calls it.
  void CollectFinishedWrite();
  // Waits for a running write (up to kWriteWaitMs, then asks it to stop and waits
  // until it has ended) without running its completion.
  void WaitForWriteOnDestruction();
  // The session of the window thread's connection.
  DeviceSession WindowSession() { return DeviceSession{m_device.Get(), &m_keyCodes, &m_known, nullptr}; }
  void ReleaseDeviceState();

  void SetKeyCodes(std::vector<uint32_t> codes) {
    m_keyCodes = std::move(codes);
    m_keyCount = static_cast<uint32_t>(m_keyCodes.size());
  }
  void ClearKeyCodes() { SetKeyCodes({}); }

  // Fields, in the order the connection state is described.
  ComRef<IDeviceManager> m_manager;
  ComRef<IDevice> m_device;
  const DeviceDescriptor* m_descriptor;
  std::atomic<bool> m_present{false};
  std::wstring m_firmwareVersion;
  std::wstring m_secondVersion;
  std::vector<uint32_t> m_keyCodes;
  uint32_t m_keyCount = 0;
  platform::KernelHandle m_writeThread;

  // The window thread's record. While a write runs no operation can connect, so
  // nothing here changes it; the write changes its own copy, which replaces this
  // one when the write is collected.
  KnownDeviceObjects m_known;

 private:
  static DWORD WINAPI WriteThreadRoutine(void* param);
  void EndWrite(bool runCompletion);

  DeviceManagerFactory m_factory;
  std::shared_ptr<device::WriteWaits> m_waits;
  std::unique_ptr<DeviceThreadParams> m_params;
  std::atomic<bool> m_writing{false};
  bool m_lastWriteSucceeded = true;
  bool m_holdConnection = false;
  // Set once destruction waits for the write: from then on only the destructor
  // collects it, even when a message dispatched during its wait asks IsWriting.
  bool m_destroying = false;
};

// The generic bodies of the device operations, over the configuration and profile
// types of the program. The template keeps the shape the device layer has always
// had (configuration, profile and the concrete device as parameters) so that the
// concrete device's virtuals line up with these bodies; the connection state itself
// lives in CDeviceConnection, so the bodies need no knowledge of the device type and
// TDevice is not used.
template <class TConfig, class TProfile, class TDevice>
class CBaseDevice : public CDeviceConnection {
 public:
  CBaseDevice() = default;
  ~CBaseDevice() override = default;

  virtual void ReleaseAll();
  virtual bool ImportMacroFile(const std::wstring& path, TConfig config);
  virtual bool ExportMacroFile(const std::wstring& path, CMacro* macro);
  virtual bool MacroExists(CMacro* macro);
  virtual bool ExportProfileFile(const std::wstring& path, TProfile profile);
  virtual bool ProfileExists(TProfile profile);
  virtual int GetProfileCount();
  virtual int GetMacroCount();
  virtual bool IsWriting();
  virtual bool IsPresent();

 protected:
  // Counts the objects an enumeration hands out, from index 0 to the first failure.
  template <typename TManager, typename TObject>
  int CountObjects(HRESULT (STDMETHODCALLTYPE TManager::*get)(int, TObject**));
};

// Enumerations of the service stop at the first failure; this bound keeps a
// service that never fails from holding the program in a loop.
inline constexpr int kMaxDeviceObjects = 4096;
// The longest name the model keeps for a profile or macro; the longest path.
inline constexpr std::size_t kMaxNameChars = 255;
inline constexpr std::size_t kMaxPathChars = MAX_PATH - 1;
// The longest string read from the service at all, before it is cut to its field.
inline constexpr std::size_t kMaxServiceStringChars = 32767;

#include "device/BaseDevice.inl"
